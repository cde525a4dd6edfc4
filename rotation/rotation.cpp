// ROTATEEXECUTE and ROTATECUSTOMIZE: one step through a list per call. The
// position lives in the host's settings and is read back through the host's
// macro expansion every time, so every caller naming the same setting
// shares it.
#include "module/handlers.h"
#include "module/params.h"
#include "module/text.h"
#include "platform/platform.h"

namespace {

constexpr char16_t ROTATEEXECUTE_USAGE[] = u"*RotateExecute [id],\"command1\",\"command2\"[...]";
// "cutomize" is the usage text as users know it; kept as it stands.
constexpr char16_t ROTATECUSTOMIZE_USAGE[] =
    u"*RotateCustomize [custid],\"cutomize1\",\"cutomize2\"[...]";
constexpr char16_t READ_COUNTER[] = u"%%*getcust(_User:%s)";
constexpr char16_t STORE_COUNTER[] = u"*setcust _User:%s=%d";
constexpr char16_t READ_SETTING[] = u"%%*getcust(\"%s\")";
constexpr char16_t SET_SETTING[] = u"*customize %s=%s";

// Both work buffers hold 1023 units and a NUL; os::wsprintfW never writes more.
constexpr size_t WORK_BUFFER_UNITS = 1024;

// Reads where the list stands: the macro, formatted with the first
// parameter (the id, which it returns), expanded by the host in place. The
// host may fill all 1024 units; the last one is kept a NUL so the reading
// after it cannot run past it.
const char16_t* ReadPosition(HostInfo* host, const ModuleCall* call, const char16_t* macro,
                             char16_t* expansion) {
    const char16_t* id = call->paramList;
    os::wsprintfW(expansion, macro, id);
    AskHost(host, HOSTREQ_EXPAND, expansion);
    expansion[WORK_BUFFER_UNITS - 1] = 0;
    return id;
}

} // namespace

int32_t HANDLER_CONV RotateExecute(HostInfo* host, int32_t, ModuleCall* call) {
    uint32_t count = call->paramCount;
    if (count < 2) return FailWithUsage(host, ROTATEEXECUTE_USAGE);
    char16_t expansion[WORK_BUFFER_UNITS];
    const char16_t* id = ReadPosition(host, call, READ_COUNTER, expansion);

    const char16_t* cursor = expansion;
    uint32_t last = ReadDecimal(cursor);
    uint32_t commands = count - 1;
    uint32_t next = last + 1u;
    if (next == 0 || next > commands) next = 1;

    const char16_t* command = NextParam(id);
    for (uint32_t i = 1; i < next; ++i)
        command = NextParam(command);

    // The new position is stored before the command runs.
    char16_t store[WORK_BUFFER_UNITS];
    os::wsprintfW(store, STORE_COUNTER, id, static_cast<int32_t>(next));
    AskHost(host, HOSTREQ_EXECUTE, store);
    AskHost(host, HOSTREQ_EXECUTE, const_cast<char16_t*>(command));
    return RESULT_SERVED;
}

int32_t HANDLER_CONV RotateCustomize(HostInfo* host, int32_t, ModuleCall* call) {
    if (call->paramCount < 2) return FailWithUsage(host, ROTATECUSTOMIZE_USAGE);
    char16_t expansion[WORK_BUFFER_UNITS];
    const char16_t* custid = ReadPosition(host, call, READ_SETTING, expansion);
    uint32_t count = call->paramCount;

    const char16_t* first = NextParam(custid);
    const char16_t* chosen = first;
    const char16_t* value = first;
    for (uint32_t k = 1; k <= count - 1; ++k, value = NextParam(value)) {
        if (!TextEqual(value, expansion)) continue;
        chosen = k == count - 1 ? first : NextParam(value);
        break;
    }

    char16_t command[WORK_BUFFER_UNITS];
    os::wsprintfW(command, SET_SETTING, custid, chosen);
    AskHost(host, HOSTREQ_EXECUTE, command);
    return RESULT_SERVED;
}
