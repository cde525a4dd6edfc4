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

// The host's service function. In the 32-bit build the caller removes the
// arguments (cdecl), which is the compiler's default there.
typedef intptr_t (*HostCallback)(HostInfo* host, int32_t request, void* argument);

struct HostInfo {
    HostCallback callback; // slot 0
    void* reserved1;       // slot 1, not used by the module
    void* reserved2;       // slot 2, not used by the module
    void* mainWindow;      // slot 3, the clipboard's owner
};

enum : int32_t {
    HOSTREQ_EXECUTE = 1025,
    HOSTREQ_EXPAND = 1026,
    HOSTREQ_VERSION = 2047,
    HOSTREQ_MESSAGE = 2571,
    HOSTREQ_LONGRESULT = 3090,
};

// Call kinds, the second argument of ModuleEntry.
enum : int32_t {
    MODCALL_INFO = 0,
    MODCALL_COMMAND = 6,
    MODCALL_FUNCTION = 7,
};

// Result codes of ModuleEntry and of every handler.
enum : int32_t {
    RESULT_SERVED = 1,
    RESULT_NOT_SERVED = 0,
    RESULT_FAILED = -1,
};

// Bits 6 and 7: commands and macro functions.
constexpr uint32_t MODULE_SERVED_KINDS = 192;

// One command or function call. The field order differs between the widths;
// both orders are part of the host interface.
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

struct ModuleInfoRequest {
    uint32_t selector;
    uint32_t servedKinds;
    char16_t* titleBuffer;
};

#if MURLIN_32BIT
static_assert(offsetof(ModuleCall, name) == 0, "ModuleCall.name");
static_assert(offsetof(ModuleCall, paramList) == 4, "ModuleCall.paramList");
static_assert(offsetof(ModuleCall, paramCount) == 8, "ModuleCall.paramCount");
static_assert(offsetof(ModuleCall, nameKey) == 12, "ModuleCall.nameKey");
static_assert(offsetof(ModuleCall, resultBuffer) == 16, "ModuleCall.resultBuffer");
static_assert(sizeof(ModuleCall) == 20, "ModuleCall size");
static_assert(offsetof(ModuleInfoRequest, titleBuffer) == 8, "ModuleInfoRequest.titleBuffer");
static_assert(sizeof(ModuleInfoRequest) == 12, "ModuleInfoRequest size");
static_assert(sizeof(HostInfo) == 16, "HostInfo size");
static_assert(offsetof(HostInfo, mainWindow) == 12, "HostInfo.mainWindow");
#else
static_assert(offsetof(ModuleCall, name) == 0, "ModuleCall.name");
static_assert(offsetof(ModuleCall, resultBuffer) == 8, "ModuleCall.resultBuffer");
static_assert(offsetof(ModuleCall, paramList) == 16, "ModuleCall.paramList");
static_assert(offsetof(ModuleCall, paramCount) == 24, "ModuleCall.paramCount");
static_assert(offsetof(ModuleCall, nameKey) == 28, "ModuleCall.nameKey");
static_assert(sizeof(ModuleCall) == 32, "ModuleCall size");
static_assert(offsetof(ModuleInfoRequest, titleBuffer) == 8, "ModuleInfoRequest.titleBuffer");
static_assert(sizeof(ModuleInfoRequest) == 16, "ModuleInfoRequest size");
static_assert(sizeof(HostInfo) == 32, "HostInfo size");
static_assert(offsetof(HostInfo, mainWindow) == 24, "HostInfo.mainWindow");
#endif
static_assert(offsetof(ModuleInfoRequest, selector) == 0, "ModuleInfoRequest.selector");
static_assert(offsetof(ModuleInfoRequest, servedKinds) == 4, "ModuleInfoRequest.servedKinds");
static_assert(offsetof(HostInfo, callback) == 0, "HostInfo.callback");

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
constexpr size_t RESULT_BUFFER_UNITS = 1024;

#if defined(_WIN32)
#if MURLIN_32BIT
#define MODULE_ENTRY_CONV __attribute__((stdcall, force_align_arg_pointer))
#else
#define MODULE_ENTRY_CONV
#endif
#define MODULE_EXPORT
#else
#define MODULE_ENTRY_CONV
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif

typedef int32_t(MODULE_ENTRY_CONV* ModuleEntryFunction)(HostInfo* host, int32_t kind,
                                                        intptr_t param);

extern "C" MODULE_EXPORT int32_t MODULE_ENTRY_CONV ModuleEntry(HostInfo* host, int32_t kind,
                                                               intptr_t param);
