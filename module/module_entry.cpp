// ModuleEntry: the identification answer and the dispatch of names to their
// handlers. Nothing else happens here.
#include "module/handlers.h"
#include "module/module_api.h"
#include "module/text.h"
#include "platform/platform.h"

namespace {

// "Ombry Text Module R7", two blanks and a notice: 37 characters.
constexpr char16_t MODULE_TITLE[] = u"Ombry Text Module R7  (c) Murlin 2026";
static_assert(sizeof(MODULE_TITLE) / sizeof(char16_t) == 38, "MODULE_TITLE is 37 characters");

typedef int32_t (*Handler)(HostInfo* host, ModuleCall* call);

int32_t ClippedText(HostInfo* host, ModuleCall* call) {
    ReadClipboardText(host, call);
    return 1;
}
int32_t StdOut(HostInfo* host, ModuleCall* call) {
    return WriteStdStream(host, call, static_cast<int32_t>(os::STD_OUTPUT_HANDLE));
}
int32_t StdErr(HostInfo* host, ModuleCall* call) {
    return WriteStdStream(host, call, static_cast<int32_t>(os::STD_ERROR_HANDLE));
}

struct DispatchRow {
    int32_t kind;
    const char16_t* name;
    uint32_t key;
    Handler handler;
};

constexpr DispatchRow DISPATCH_TABLE[] = {
    {MODCALL_FUNCTION, u"CLIPPEDTEXT", 0xF75D5755u, ClippedText},
    {MODCALL_FUNCTION, u"FINDDRIVE", 0xC54FB5F5u, FindDrive},
    {MODCALL_FUNCTION, u"NOWDATETIME", 0xF7D79755u, NowDateTime},
    {MODCALL_FUNCTION, u"STDIN", 0xD354524Eu, ReadStdIn},
    {MODCALL_FUNCTION, u"LEFTSTR", 0xC75535D3u, SliceLeft},
    {MODCALL_FUNCTION, u"MIDSTR", 0xC9153553u, SliceMid},
    {MODCALL_FUNCTION, u"SUBSTRING", 0xD55FD7F7u, SliceMid},
    {MODCALL_FUNCTION, u"RIGHTSTR", 0xC9557DD3u, SliceRight},
    {MODCALL_FUNCTION, u"PADDING", 0xC51497D7u, PadLeft},
    {MODCALL_FUNCTION, u"VERSION", 0xD34C97FFu, ReportVersion},
    {MODCALL_COMMAND, u"ROTATECUSTOMIZE", 0xDF77D7F5u, RotateCustomize},
    {MODCALL_COMMAND, u"ROTATEEXECUTE", 0xD55D577Fu, RotateExecute},
    {MODCALL_COMMAND, u"STDOUT", 0xD514F554u, StdOut},
    {MODCALL_COMMAND, u"STDERR", 0xD51454D6u, StdErr},
};

constexpr bool KeysMatchNames() {
    for (const DispatchRow& row : DISPATCH_TABLE)
        if (NameKey(row.name) != row.key)
            return false;
    return true;
}
static_assert(KeysMatchNames(), "every dispatch key is the NameKey of its name");

int32_t Dispatch(HostInfo* host, int32_t kind, ModuleCall* call) {
    for (const DispatchRow& row : DISPATCH_TABLE) {
        if (row.kind != kind || row.key != call->nameKey)
            continue;
        // Keys are unique: when the name differs, no later row can match.
        if (!TextEqual(call->name, row.name))
            return RESULT_NOT_SERVED;
        return row.handler(host, call);
    }
    return RESULT_NOT_SERVED;
}

int32_t Identify(ModuleInfoRequest* request) {
    if (request->selector != 0)
        return RESULT_NOT_SERVED;
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
