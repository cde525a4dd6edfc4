// A host whose service function throws a C++ exception while the module
// waits on it (the expansion of either rotation, a usage message, the
// version; not a long value, whose heap copy would leak): the exception
// passes back through the module's frames to the host's catch, which finds
// its locals as it left them; and a walk of the stack from inside the
// service function reaches the host function that called ModuleEntry. Both
// need the module's unwind data (on x64 Windows, .pdata and .xdata).
#include "tests/support/module_loader.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unwind.h>
#endif

namespace {

struct HostThrew {
    int32_t request;
};

bool g_walkReachedCaller = false;

int CallModuleCatching(ModuleEntryFunction entry, HostInfo* host, int32_t kind, ModuleCall* call,
                       uint64_t seed, bool* localsIntact);

// True when a frame of the calling thread's stack lies in CallModuleCatching.
bool StackReachesCaller() {
    auto caller = reinterpret_cast<uintptr_t>(&CallModuleCatching);
#if defined(_WIN32)
    void* frames[64];
    USHORT n = RtlCaptureStackBackTrace(0, 64, frames, nullptr);
    for (USHORT i = 0; i < n; ++i) {
        DWORD64 base = 0;
        PRUNTIME_FUNCTION function =
            RtlLookupFunctionEntry(reinterpret_cast<DWORD64>(frames[i]), &base, nullptr);
        if (function != nullptr && base + function->BeginAddress == caller) return true;
    }
    return false;
#else
    struct Walk {
        uintptr_t caller;
        bool reached;
    } walk{caller, false};
    _Unwind_Backtrace(
        [](_Unwind_Context* context, void* data) {
            auto* w = static_cast<Walk*>(data);
            void* start =
                _Unwind_FindEnclosingFunction(reinterpret_cast<void*>(_Unwind_GetIP(context)));
            if (reinterpret_cast<uintptr_t>(start) == w->caller) w->reached = true;
            return _URC_NO_REASON;
        },
        &walk);
    return walk.reached;
#endif
}

intptr_t ThrowingHost(HostInfo*, int32_t request, void*) {
    g_walkReachedCaller = StackReachesCaller();
    throw HostThrew{request};
}

// Calls the module with values live across the call in callee-saved
// registers and on the stack; the catch checks them. Returns the request
// that threw, or 0 when none did.
__attribute__((noinline)) int CallModuleCatching(ModuleEntryFunction entry, HostInfo* host,
                                                 int32_t kind, ModuleCall* call, uint64_t seed,
                                                 bool* localsIntact) {
    volatile uint64_t onStack = seed ^ 0x5A5A5A5A5A5A5A5Aull;
    uint64_t a = seed * 3, b = seed * 5, c = seed * 7, d = seed * 11, e = seed * 13, f = seed * 17;
    asm volatile("" : "+r"(a), "+r"(b), "+r"(c), "+r"(d), "+r"(e), "+r"(f));
    try {
        entry(host, kind, reinterpret_cast<intptr_t>(call));
    } catch (const HostThrew& threw) {
        asm volatile("" : "+r"(a), "+r"(b), "+r"(c), "+r"(d), "+r"(e), "+r"(f));
        *localsIntact = a == seed * 3 && b == seed * 5 && c == seed * 7 && d == seed * 11 &&
                        e == seed * 13 && f == seed * 17 &&
                        onStack == (seed ^ 0x5A5A5A5A5A5A5A5Aull);
        return threw.request;
    }
    return 0;
}

TEST(HostExceptions, PassThroughTheModuleToTheHostsCatch) {
    LoadedModule module = LoadModule(BuiltModulePath());
    ASSERT_NE(nullptr, module.entry) << BuiltModulePath() << ": " << module.error;
    struct Case {
        int32_t kind;
        std::u16string name;
        std::vector<std::u16string> params;
        int32_t request; // the request the module is waiting on
    };
    const Case cases[] = {
        {MODCALL_COMMAND, u"ROTATEEXECUTE", {u"menu", u"one", u"two"}, HOSTREQ_EXPAND},
        {MODCALL_COMMAND, u"ROTATECUSTOMIZE", {u"view", u"list", u"icons"}, HOSTREQ_EXPAND},
        {MODCALL_FUNCTION, u"NOWDATETIME", {u"?"}, HOSTREQ_MESSAGE},
        {MODCALL_FUNCTION, u"VERSION", {}, HOSTREQ_VERSION},
    };
    uint64_t seed = 0x0123456789ABCDEFull;
    for (const Case& c : cases) {
        TestCall call(c.name, c.params);
        call.host.callback = ThrowingHost;
        g_walkReachedCaller = false;
        bool localsIntact = false;
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        std::string what = Narrow(c.name);
        EXPECT_EQ(c.request, CallModuleCatching(module.entry, &call.host, c.kind, &call.call, seed,
                                                &localsIntact))
            << what;
        EXPECT_TRUE(localsIntact) << what;
        EXPECT_TRUE(g_walkReachedCaller) << what;
    }
    UnloadModule(module);
}

} // namespace
