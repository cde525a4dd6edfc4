// A host whose service function throws a C++ exception while the module
// waits on it (the expansion of either rotation, a usage message, the
// version, the clipboard's long text; not a long value of STDIN or of a
// slicer, whose heap copy would leak): the exception passes back through the
// module's frames to the host's catch, which finds its locals as it left
// them; and a walk of the stack from inside the service function reaches the
// host function that called ModuleEntry. Both need the module's unwind data
// (on x64 Windows, .pdata and .xdata). The clipboard is left to others.
#include "tests/support/clipboard.h"
#include "tests/support/files.h"
#include "tests/support/module_loader.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <stdlib.h>
#include <unwind.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
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

#if defined(_WIN32)
// True when a window of this thread, not the one the module ran on, can open
// the clipboard (tests running beside this one may hold it for a moment).
bool OthersOpenTheClipboard(ModuleEntryFunction, const std::u16string&) {
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    nullptr, nullptr);
    bool opened = false;
    for (int attempt = 0; attempt < 20 && !opened; ++attempt, ::Sleep(20))
        opened = ::OpenClipboard(window) != 0;
    if (opened) ::CloseClipboard();
    ::DestroyWindow(window);
    return opened;
}
#else
// The stand-ins' clipboard is the text of the file MURLIN_CLIPBOARD names.
bool PutOnClipboard(const std::u16string& text) {
    static TempFolder folder("murlin-unwind");
    std::ofstream(folder / "clip.txt") << std::string(text.begin(), text.end());
    return setenv("MURLIN_CLIPBOARD", folder.Utf8("clip.txt").c_str(), 1) == 0;
}

// The stand-ins' clipboard opens to one thread at a time: the module, on
// this thread, reads it whole (cut by a declining host).
bool OthersOpenTheClipboard(ModuleEntryFunction entry, const std::u16string& text) {
    TestCall call(u"CLIPPEDTEXT");
    call.Run(entry);
    return call.Result() == text.substr(0, 1008);
}
#endif

TEST(HostExceptions, LeaveTheClipboardToOthers) {
    LoadedModule module = LoadModule(BuiltModulePath());
    ASSERT_NE(nullptr, module.entry) << BuiltModulePath() << ": " << module.error;
    std::u16string text(5000, u'k');
    ASSERT_TRUE(PutOnClipboard(text));
    TestCall call(u"CLIPPEDTEXT");
    call.host.callback = ThrowingHost;
    bool localsIntact = false;
#if defined(__SANITIZE_ADDRESS__)
    __lsan::ScopedDisabler skippedCopyIsKept; // the text's heap copy, which the exception skips
#endif
    EXPECT_EQ(HOSTREQ_LONGRESULT, CallModuleCatching(module.entry, &call.host, MODCALL_FUNCTION,
                                                     &call.call, 7, &localsIntact));
    EXPECT_TRUE(localsIntact);
    bool opened = false;
    std::thread other([&] { opened = OthersOpenTheClipboard(module.entry, text); });
    other.join();
    EXPECT_TRUE(opened) << "the clipboard is held by the thread the host caught on";
    UnloadModule(module);
}

} // namespace
