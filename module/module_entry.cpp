// ModuleEntry: the identification answer and the dispatch of names to their
// handlers. Nothing else happens here.
#include "module/dispatch.h"
#include "module/handlers.h"
#include "module/module_api.h"
#include "module/text.h"

namespace {

// "Ombry Text Module R7", two blanks and a notice: 37 characters.
constexpr char16_t MODULE_TITLE[] = u"Ombry Text Module R7  (c) Murlin 2026";
static_assert(sizeof(MODULE_TITLE) / sizeof(char16_t) == 38, "MODULE_TITLE is 37 characters");

constexpr auto DISPATCH = MakeDispatch<SlotBits(DISPATCH_ROWS)>(DISPATCH_ROWS);

__attribute__((noinline, cold)) int32_t Identify(ModuleInfoRequest* request) {
    if (request->selector != 0) return RESULT_NOT_SERVED;
    request->servedKinds = MODULE_SERVED_KINDS;
    CopyUnits(request->titleBuffer, MODULE_TITLE, sizeof(MODULE_TITLE) / sizeof(char16_t) - 1);
    return RESULT_SERVED;
}

} // namespace

// Every call comes through here: the dispatch and the name's compare are
// built in, and the handler is reached with a jump.
extern "C" MODULE_EXPORT __attribute__((flatten)) int32_t MODULE_ENTRY_CONV
ModuleEntry(HostInfo* host, int32_t kind, intptr_t param) {
    switch (kind) {
    case MODCALL_INFO:
        return Identify(reinterpret_cast<ModuleInfoRequest*>(param));
    case MODCALL_COMMAND:
    case MODCALL_FUNCTION:
        return DISPATCH.Serve(host, kind, reinterpret_cast<ModuleCall*>(param));
    default:
        return RESULT_NOT_SERVED;
    }
}
