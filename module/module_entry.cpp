// ModuleEntry: the identification answer and the dispatch of names to their
// handlers. Nothing else happens here.
#include "module/handlers.h"
#include "module/module_api.h"
#include "module/text.h"
#include "platform/platform.h"

#include <utility>

namespace {

// "Ombry Text Module R7", two blanks and a notice: 37 characters.
constexpr char16_t MODULE_TITLE[] = u"Ombry Text Module R7  (c) Murlin 2026";
static_assert(sizeof(MODULE_TITLE) / sizeof(char16_t) == 38, "MODULE_TITLE is 37 characters");

typedef int32_t (*Handler)(HostInfo* host, ModuleCall* call);

int32_t ClippedText(HostInfo* host, ModuleCall* call) {
    return ReadClipboardText(host, call);
}
int32_t StdOut(HostInfo* host, ModuleCall* call) {
    return WriteStdStream(host, call, os::STD_OUTPUT_HANDLE);
}
int32_t StdErr(HostInfo* host, ModuleCall* call) {
    return WriteStdStream(host, call, os::STD_ERROR_HANDLE);
}

struct DispatchRow {
    int32_t kind;
    const char16_t* name;
    size_t length; // of the name, in units
    uint32_t key;
    Handler handler;
};

constexpr size_t NameLength(const char16_t* name) {
    size_t n = 0;
    while (name[n] != 0)
        ++n;
    return n;
}

// A row whose key is the NameKey of its name, so that no key is written by hand.
constexpr DispatchRow Row(int32_t kind, const char16_t* name, Handler handler) {
    return DispatchRow{kind, name, NameLength(name), NameKey(name), handler};
}

constexpr DispatchRow DISPATCH_TABLE[] = {
    Row(MODCALL_FUNCTION, u"CLIPPEDTEXT", ClippedText),
    Row(MODCALL_FUNCTION, u"FINDDRIVE", FindDrive),
    Row(MODCALL_FUNCTION, u"NOWDATETIME", NowDateTime),
    Row(MODCALL_FUNCTION, u"STDIN", ReadStdIn),
    Row(MODCALL_FUNCTION, u"LEFTSTR", SliceLeft),
    Row(MODCALL_FUNCTION, u"MIDSTR", SliceMid),
    Row(MODCALL_FUNCTION, u"SUBSTRING", SliceMid),
    Row(MODCALL_FUNCTION, u"RIGHTSTR", SliceRight),
    Row(MODCALL_FUNCTION, u"PADDING", PadLeft),
    Row(MODCALL_FUNCTION, u"VERSION", ReportVersion),
    Row(MODCALL_COMMAND, u"ROTATECUSTOMIZE", RotateCustomize),
    Row(MODCALL_COMMAND, u"ROTATEEXECUTE", RotateExecute),
    Row(MODCALL_COMMAND, u"STDOUT", StdOut),
    Row(MODCALL_COMMAND, u"STDERR", StdErr),
};
constexpr size_t ROW_COUNT = sizeof(DISPATCH_TABLE) / sizeof(DISPATCH_TABLE[0]);

// The row of a key is found in one step, not by walking the table: a
// multiplicative hash of the key picks one of 32 slots, and each slot holds
// the one row whose key lands there, or none. The multiplier is the first
// that gives every key a slot of its own; the build fails if two keys are
// equal, as it then must.
constexpr unsigned SLOT_BITS = 5;
constexpr size_t SLOT_COUNT = size_t{1} << SLOT_BITS;
constexpr uint8_t NO_ROW = 0xFF;

constexpr uint32_t SlotOf(uint32_t key, uint32_t multiplier) {
    return (key * multiplier) >> (32 - SLOT_BITS);
}

constexpr bool SeparatesKeys(uint32_t multiplier) {
    for (size_t i = 0; i < ROW_COUNT; ++i)
        for (size_t j = i + 1; j < ROW_COUNT; ++j)
            if (SlotOf(DISPATCH_TABLE[i].key, multiplier) ==
                SlotOf(DISPATCH_TABLE[j].key, multiplier))
                return false;
    return true;
}

constexpr uint32_t SeparatingMultiplier() {
    for (uint32_t multiplier = 1; multiplier < 0x10000u; multiplier += 2)
        if (SeparatesKeys(multiplier)) return multiplier;
    return 0;
}

constexpr uint32_t SLOT_MULTIPLIER = SeparatingMultiplier();
static_assert(SLOT_MULTIPLIER != 0, "every dispatch key has a slot of its own");

struct SlotTable {
    uint8_t row[SLOT_COUNT];
};

constexpr SlotTable BuildSlots() {
    SlotTable slots{};
    for (uint8_t& row : slots.row)
        row = NO_ROW;
    for (size_t i = 0; i < ROW_COUNT; ++i)
        slots.row[SlotOf(DISPATCH_TABLE[i].key, SLOT_MULTIPLIER)] = static_cast<uint8_t>(i);
    return slots;
}

constexpr SlotTable DISPATCH_SLOTS = BuildSlots();

// Each row has a server of its own: it tests the caller's name against the
// row's name, unit by unit and in order, stopping at the first difference
// (so no unit past the caller's NUL is read), then the NUL; the row's units
// are constants of the code and its handler is called directly.
template <size_t ROW, size_t... UNIT>
bool HasRowName(const char16_t* name, std::index_sequence<UNIT...>) {
    return ((name[UNIT] == DISPATCH_TABLE[ROW].name[UNIT]) && ...) && name[sizeof...(UNIT)] == 0;
}

template <size_t ROW> int32_t ServeRow(HostInfo* host, ModuleCall* call) {
    constexpr DispatchRow row = DISPATCH_TABLE[ROW];
    if (!HasRowName<ROW>(call->name, std::make_index_sequence<row.length>()))
        return RESULT_NOT_SERVED;
    return row.handler(host, call);
}

struct ServerTable {
    Handler row[ROW_COUNT];
};

template <size_t... ROW> constexpr ServerTable BuildServers(std::index_sequence<ROW...>) {
    return ServerTable{{ServeRow<ROW>...}};
}

constexpr ServerTable DISPATCH_SERVERS = BuildServers(std::make_index_sequence<ROW_COUNT>());

int32_t Dispatch(HostInfo* host, int32_t kind, ModuleCall* call) {
    uint32_t key = call->nameKey;
    uint8_t index = DISPATCH_SLOTS.row[SlotOf(key, SLOT_MULTIPLIER)];
    if (index == NO_ROW) return RESULT_NOT_SERVED;
    // Keys are unique, so this row is the only one that can match: the key,
    // then the kind and the whole name must agree.
    const DispatchRow& row = DISPATCH_TABLE[index];
    if (row.key != key || row.kind != kind) return RESULT_NOT_SERVED;
#if defined(_WIN32)
    // A shipped DLL is held to 20 KiB: there one loop compares the names.
    if (!TextEqual(call->name, row.name)) return RESULT_NOT_SERVED;
    return row.handler(host, call);
#else
    return DISPATCH_SERVERS.row[index](host, call);
#endif
}

int32_t Identify(ModuleInfoRequest* request) {
    if (request->selector != 0) return RESULT_NOT_SERVED;
    request->servedKinds = MODULE_SERVED_KINDS;
    CopyUnits(request->titleBuffer, MODULE_TITLE, TextLength(MODULE_TITLE));
    return RESULT_SERVED;
}

} // namespace

extern "C" MODULE_EXPORT int32_t MODULE_ENTRY_CONV ModuleEntry(HostInfo* host, int32_t kind,
                                                               intptr_t param) {
    switch (kind) {
    case MODCALL_INFO:
        return Identify(reinterpret_cast<ModuleInfoRequest*>(param));
    case MODCALL_COMMAND:
    case MODCALL_FUNCTION:
        return Dispatch(host, kind, reinterpret_cast<ModuleCall*>(param));
    default:
        return RESULT_NOT_SERVED;
    }
}

// The table's rows for tests that walk every name: the name and kind of a
// row, or null past the last row.
const char16_t* DispatchName(size_t row, int32_t* kind) {
    if (row >= sizeof(DISPATCH_TABLE) / sizeof(DISPATCH_TABLE[0])) return nullptr;
    *kind = DISPATCH_TABLE[row].kind;
    return DISPATCH_TABLE[row].name;
}
