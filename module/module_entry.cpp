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
// multiplicative hash of the key picks one of 16 slots, and each slot holds
// the key, the kind, the name and the server of the one row whose key lands
// there. An empty slot holds kind 0, which no call that reaches it has. The
// multiplier is the first that gives every key a slot of its own; the build
// fails if there is none (two equal keys, or a row too many for 16 slots).
constexpr unsigned SLOT_BITS = 4;
constexpr size_t SLOT_COUNT = size_t{1} << SLOT_BITS;

constexpr uint32_t SlotOf(uint32_t key, uint32_t multiplier) {
    return (key * multiplier) >> (32 - SLOT_BITS);
}

constexpr bool SeparatesKeys(uint32_t multiplier) {
    uint32_t taken = 0;
    for (const DispatchRow& row : DISPATCH_TABLE) {
        uint32_t bit = uint32_t{1} << SlotOf(row.key, multiplier);
        if ((taken & bit) != 0) return false;
        taken |= bit;
    }
    return true;
}

constexpr uint32_t SeparatingMultiplier() {
    for (uint32_t multiplier = 1; multiplier < 0x10000u; multiplier += 2)
        if (SeparatesKeys(multiplier)) return multiplier;
    return 0;
}

constexpr uint32_t SLOT_MULTIPLIER = SeparatingMultiplier();
static_assert(SLOT_MULTIPLIER != 0, "every dispatch key has a slot of its own");

#if defined(_WIN32)
// A shipped DLL is held to 20 KiB: there the slot serves with the row's
// handler, after one loop has compared the names.
template <size_t ROW> constexpr Handler ServerOf() {
    return DISPATCH_TABLE[ROW].handler;
}
#else
// A row's name, its NUL included, as little-endian words of four units; the
// last word's mask keeps the units up to the NUL.
constexpr size_t WORD_UNITS = 4;
constexpr size_t MAX_NAME_WORDS = 4;

struct NameWords {
    size_t count;
    uint64_t word[MAX_NAME_WORDS];
    uint64_t lastMask;
};

constexpr NameWords WordsOf(const DispatchRow& row) {
    NameWords words{};
    words.count = (row.length + 1 + WORD_UNITS - 1) / WORD_UNITS;
    for (size_t i = 0; i < row.length; ++i)
        words.word[i / WORD_UNITS] |= uint64_t{row.name[i]} << (16 * (i % WORD_UNITS));
    size_t lastUnits = row.length + 1 - (words.count - 1) * WORD_UNITS;
    words.lastMask = lastUnits == WORD_UNITS ? ~uint64_t{0} : (uint64_t{1} << (16 * lastUnits)) - 1;
    return words;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "names are compared as little-endian words");

// Memory is mapped in pages of 4096 bytes or a multiple of that; words read
// within the caller's page cannot fault, whatever lies past its NUL.
constexpr uintptr_t PAGE_BYTES = 4096;

// The caller's name against the row's: word by word when the words stay
// within the name's page (the units past the caller's NUL that they read are
// masked off or already differ), otherwise unit by unit.
template <size_t ROW> MURLIN_READS_PAST_NUL bool HasRowName(const char16_t* name) {
    constexpr NameWords row = WordsOf(DISPATCH_TABLE[ROW]);
    static_assert(row.count <= MAX_NAME_WORDS, "a dispatch name fits MAX_NAME_WORDS words");
    if ((reinterpret_cast<uintptr_t>(name) & (PAGE_BYTES - 1)) > PAGE_BYTES - row.count * 8)
        return TextEqual(name, DISPATCH_TABLE[ROW].name);
    for (size_t i = 0; i + 1 < row.count; ++i) {
        uint64_t word;
        __builtin_memcpy(&word, name + i * WORD_UNITS, sizeof word);
        if (word != row.word[i]) return false;
    }
    uint64_t last;
    __builtin_memcpy(&last, name + (row.count - 1) * WORD_UNITS, sizeof last);
    return (last & row.lastMask) == row.word[row.count - 1];
}

// Each row has a server of its own: it tests the caller's whole name against
// the row's and calls the row's handler directly.
template <size_t ROW> int32_t ServeRow(HostInfo* host, ModuleCall* call) {
    if (!HasRowName<ROW>(call->name)) return RESULT_NOT_SERVED;
    return DISPATCH_TABLE[ROW].handler(host, call);
}

template <size_t ROW> constexpr Handler ServerOf() {
    return ServeRow<ROW>;
}
#endif

struct Slot {
    uint32_t key;
    int32_t kind;
    const char16_t* name;
    Handler serve;
};

struct SlotTable {
    Slot slot[SLOT_COUNT];
};

template <size_t... ROW> constexpr SlotTable BuildSlots(std::index_sequence<ROW...>) {
    SlotTable table{};
    constexpr Handler servers[] = {ServerOf<ROW>()...};
    for (size_t i = 0; i < ROW_COUNT; ++i) {
        const DispatchRow& row = DISPATCH_TABLE[i];
        table.slot[SlotOf(row.key, SLOT_MULTIPLIER)] =
            Slot{row.key, row.kind, row.name, servers[i]};
    }
    return table;
}

constexpr SlotTable DISPATCH_SLOTS = BuildSlots(std::make_index_sequence<ROW_COUNT>());

int32_t Dispatch(HostInfo* host, int32_t kind, ModuleCall* call) {
    uint32_t key = call->nameKey;
    const Slot& slot = DISPATCH_SLOTS.slot[SlotOf(key, SLOT_MULTIPLIER)];
    // Keys are unique, so this slot's row is the only one that can match:
    // the key, then the kind and the whole name must agree.
    if (slot.key != key || slot.kind != kind) return RESULT_NOT_SERVED;
#if defined(_WIN32)
    if (!TextEqual(call->name, slot.name)) return RESULT_NOT_SERVED;
#endif
    return slot.serve(host, call);
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

namespace {

// The slot of each row, in the table's order.
struct RowSlots {
    uint8_t slot[ROW_COUNT];
};

constexpr RowSlots BuildRowSlots() {
    RowSlots rows{};
    for (size_t i = 0; i < ROW_COUNT; ++i)
        rows.slot[i] = static_cast<uint8_t>(SlotOf(DISPATCH_TABLE[i].key, SLOT_MULTIPLIER));
    return rows;
}

constexpr RowSlots ROW_SLOTS = BuildRowSlots();

} // namespace

// The table's rows for tests that walk every name: the name and kind of a
// row, or null past the last row. Read from the slots, so that the table
// itself exists only while the module is compiled.
const char16_t* DispatchName(size_t row, int32_t* kind) {
    if (row >= ROW_COUNT) return nullptr;
    const Slot& slot = DISPATCH_SLOTS.slot[ROW_SLOTS.slot[row]];
    *kind = slot.kind;
    return slot.name;
}
