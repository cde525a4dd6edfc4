// The records, codes and rules that cross the boundary between the Ombry host
// and its modules. Both widths are laid out here; the build's pointer width
// picks one. Nothing in this header depends on a platform header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if UINTPTR_MAX == 0xFFFFFFFFu
#define MURLIN_32BIT 1
#else
#define MURLIN_32BIT 0
#endif

// Host services.
struct HostInfo;

// The host's service function: one request of the module (HOSTREQ_...), made
// on the thread of the ModuleEntry call and finished before it returns.
// `host` is the HostInfo the call came with. `argument` is owned by the
// module and valid only during the request; the host copies what it keeps:
//   HOSTREQ_EXECUTE     a NUL-terminated command line; the result is not read.
//   HOSTREQ_EXPAND      a buffer of 1024 units holding NUL-terminated macro
//                       text; on return it holds the expansion, NUL-terminated
//                       within its 1024 units. The result is not read.
//   HOSTREQ_VERSION     null; the result is major * 10000 + minor * 100 +
//                       build, of which the low 32 bits are used.
//   HOSTREQ_MESSAGE     a NUL-terminated text to show the user.
//   HOSTREQ_LONGRESULT  a NUL-terminated function value longer than
//                       RESULT_TEXT_LIMIT characters, for the host to take.
// The answers to MESSAGE and LONGRESULT are compared whole with
// HOSTANSWER_DONE; any other value means the host did not do it. In the
// 32-bit build the caller removes the arguments (cdecl), which is the
// compiler's default there.
typedef intptr_t (*HostCallback)(HostInfo* host, int32_t request, void* argument);

// The host's record, owned by the host and valid for the whole ModuleEntry
// call. The module reads slots 0 and 3 only and never writes it.
struct HostInfo {
    HostCallback callback; // slot 0, never null
    void* reserved1;       // slot 1, not used by the module
    void* reserved2;       // slot 2, not used by the module
    void* mainWindow;      // slot 3, the clipboard's owner; may be null
};

enum : int32_t {
    HOSTREQ_EXECUTE = 1025,
    HOSTREQ_EXPAND = 1026,
    HOSTREQ_VERSION = 2047,
    HOSTREQ_MESSAGE = 2571,
    HOSTREQ_LONGRESULT = 3090,
};

// The one answer of HOSTREQ_MESSAGE and HOSTREQ_LONGRESULT that means the
// host did what was asked, and what a host answers when it did not.
constexpr intptr_t HOSTANSWER_DONE = 1;
constexpr intptr_t HOSTANSWER_DECLINED = 0;

// Call kinds, the second argument of ModuleEntry.
enum : int32_t {
    MODCALL_INFO = 0,     // the third argument is a ModuleInfoRequest
    MODCALL_COMMAND = 6,  // a ModuleCall; its result buffer is not written
    MODCALL_FUNCTION = 7, // a ModuleCall; the value goes into its result buffer
};

// Result codes of ModuleEntry and of every handler.
enum : int32_t {
    RESULT_SERVED = 1,     // served (a function's value delivered)
    RESULT_NOT_SERVED = 0, // not this module's kind or name; the host may ask another
    RESULT_FAILED = -1,    // served but failed: a usage text has been shown, or
                           // FINDDRIVE found no drive
};

// Bits 6 and 7: commands and macro functions.
constexpr uint32_t MODULE_SERVED_KINDS = 192;

// One command or function call. The host owns the record and everything it
// points to, all valid for the call only. The field order differs between
// the widths; both orders are part of the host interface.
//   name          the upper-case name without "*" or "%*", NUL-terminated.
//   paramList     paramCount texts, each ending in a NUL, one right after the
//                 other (an empty parameter is a lone NUL). May be null when
//                 paramCount is 0; when not null it points at a NUL at least.
//                 Never written by the module.
//   paramCount    how many parameters paramList holds.
//   nameKey       NameKey(name), computed by the host.
//   resultBuffer  RESULT_BUFFER_UNITS units or more, written only for
//                 MODCALL_FUNCTION; never null for a function.
struct ModuleCall {
#if MURLIN_32BIT
    const char16_t* name;
    const char16_t* paramList;
    uint32_t paramCount;
    uint32_t nameKey;
    char16_t* resultBuffer;
#else
    const char16_t* name;
    char16_t* resultBuffer;
    const char16_t* paramList;
    uint32_t paramCount;
    uint32_t nameKey;
#endif
};

// The identification request (MODCALL_INFO), owned by the host. Only
// selector 0 is answered: servedKinds is set to MODULE_SERVED_KINDS and the
// title, with its NUL, is written to titleBuffer (38 units).
struct ModuleInfoRequest {
    uint32_t selector;
    uint32_t servedKinds;
    char16_t* titleBuffer;
};

// The offsets and sizes of the host interface, checked against the records.
struct InterfaceLayout {
    size_t callName, callResultBuffer, callParamList, callParamCount, callNameKey, callSize;
    size_t infoTitleBuffer, infoSize, hostMainWindow, hostSize;
};
#if MURLIN_32BIT
constexpr InterfaceLayout INTERFACE_LAYOUT = {0, 16, 4, 8, 12, 20, 8, 12, 12, 16};
#else
constexpr InterfaceLayout INTERFACE_LAYOUT = {0, 8, 16, 24, 28, 32, 8, 16, 24, 32};
#endif
static_assert(offsetof(ModuleCall, name) == INTERFACE_LAYOUT.callName, "ModuleCall.name");
static_assert(offsetof(ModuleCall, resultBuffer) == INTERFACE_LAYOUT.callResultBuffer,
              "ModuleCall.resultBuffer");
static_assert(offsetof(ModuleCall, paramList) == INTERFACE_LAYOUT.callParamList,
              "ModuleCall.paramList");
static_assert(offsetof(ModuleCall, paramCount) == INTERFACE_LAYOUT.callParamCount,
              "ModuleCall.paramCount");
static_assert(offsetof(ModuleCall, nameKey) == INTERFACE_LAYOUT.callNameKey, "ModuleCall.nameKey");
static_assert(sizeof(ModuleCall) == INTERFACE_LAYOUT.callSize, "ModuleCall size");
static_assert(offsetof(ModuleInfoRequest, selector) == 0, "ModuleInfoRequest.selector");
static_assert(offsetof(ModuleInfoRequest, servedKinds) == 4, "ModuleInfoRequest.servedKinds");
static_assert(offsetof(ModuleInfoRequest, titleBuffer) == INTERFACE_LAYOUT.infoTitleBuffer,
              "ModuleInfoRequest.titleBuffer");
static_assert(sizeof(ModuleInfoRequest) == INTERFACE_LAYOUT.infoSize, "ModuleInfoRequest size");
static_assert(offsetof(HostInfo, callback) == 0, "HostInfo.callback");
static_assert(offsetof(HostInfo, mainWindow) == INTERFACE_LAYOUT.hostMainWindow,
              "HostInfo.mainWindow");
static_assert(sizeof(HostInfo) == INTERFACE_LAYOUT.hostSize, "HostInfo size");

// The key of an upper-case name: rotate left by 6, OR in each unit, then set
// the top bit. Hosts compute it for every call; the dispatch table checks its
// keys against it at compile time.
constexpr uint32_t NameKey(const char16_t* name) {
    uint32_t h = 0;
    for (; *name != 0; ++name)
        h = ((h << 6) | (h >> 26)) | static_cast<uint32_t>(*name);
    return h | 0x80000000u;
}

static_assert(NameKey(u"LEFTSTR") == 0xC75535D3u, "NameKey rule");

// The result buffer of a function holds at least this many UTF-16 units.
// STDIN and PADDING write up to all of them; the deliveries of
// module/params.h write at most RESULT_TEXT_LIMIT characters and a NUL.
constexpr size_t RESULT_BUFFER_UNITS = 1024;

// The 32-bit entry takes its parameters off the stack, which Windows aligns
// to 4 bytes only; the module's code assumes no more.
#if defined(_WIN32)
#if MURLIN_32BIT
#define MODULE_ENTRY_CONV __attribute__((stdcall))
#else
#define MODULE_ENTRY_CONV
#endif
#define MODULE_EXPORT
#else
#define MODULE_ENTRY_CONV
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif

// The one export. host and param belong to the host and are valid for the
// call; param is a ModuleInfoRequest* (MODCALL_INFO) or a ModuleCall*
// (MODCALL_COMMAND, MODCALL_FUNCTION), and is not touched for any other kind.
// Returns a result code.
typedef int32_t(MODULE_ENTRY_CONV* ModuleEntryFunction)(HostInfo* host, int32_t kind,
                                                        intptr_t param);

extern "C" MODULE_EXPORT int32_t MODULE_ENTRY_CONV ModuleEntry(HostInfo* host, int32_t kind,
                                                               intptr_t param);
