// The built DLL, loaded as a host loads it, against hand-written Win32 C that
// does the same observable work with the same calls, in one process:
//   %*leftstr(abcdef,3)         a parse of the ParamList and a copy
//   %*nowdatetime(Y-N-D H:M:S)  GetLocalTime and one wsprintfW
//   %*stdin()                   peek, read at most 1024 bytes, convert at the
//                               end of a heap block that doubles when full
//   *stdout                     WideCharToMultiByte of pieces of 1024 units
//                               and WriteFile, to NUL
// Standard input is a pipe made with CreatePipe and fed by a thread. Module
// and hand-written side alternate, three times, and the medians of both and
// of the ratios are printed; single calls alternate in 41 short rounds, of
// which each side's fastest counts. The hand-written side is
// compiled as the module is.
//   murlin_wine_bench [stdout MiB] [stdin MiB]...
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "module/module_api.h"
#include "tests/support/test_call.h"

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

namespace {

constexpr DWORD MIB = 1024 * 1024;
constexpr int RUNS = 3;
constexpr int SINGLE_ROUNDS = 41;
constexpr int SINGLE_CALLS = 20000;

ModuleEntryFunction g_entry = nullptr;
size_t g_delivered = 0;
LONGLONG g_hostTicks = 0; // time the host spends measuring a long value

LONGLONG Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Seconds(LONGLONG ticks) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

intptr_t Serve(HostInfo*, int32_t request, void* argument) {
    if (request != HOSTREQ_LONGRESULT) return 0;
    LONGLONG start = Now();
    size_t n = 0;
    for (auto* p = static_cast<const char16_t*>(argument); *p != 0; ++p)
        ++n;
    g_delivered = n;
    g_hostTicks += Now() - start;
    return 1;
}

#define HAND_WRITTEN __attribute__((noinline, noipa))

HAND_WRITTEN void HandLeftStr(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    while (*p == u' ')
        ++p;
    size_t n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        n = n * 10 + static_cast<size_t>(*p - u'0');
    if (n > length) n = length;
    for (size_t i = 0; i < n; ++i)
        out[i] = params[i];
    out[n] = 0;
}

HAND_WRITTEN void HandNowDateTime(const char16_t*, char16_t* out) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wsprintfW(reinterpret_cast<wchar_t*>(out), L"%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth,
              t.wDay, t.wHour, t.wMinute, t.wSecond);
}

// The module's and the hand-written side's times, each the median of
// alternating runs, and the median of the runs' ratios.
struct Measure {
    double module, hand, ratio;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Measure Alternate(double (*timed)(bool, DWORD), DWORD size) {
    std::vector<double> module, hand, ratio;
    for (int run = 0; run < RUNS; ++run) {
        module.push_back(timed(true, size));
        hand.push_back(timed(false, size));
        ratio.push_back(module.back() / hand.back());
    }
    return Measure{Median(module), Median(hand), Median(ratio)};
}

// A single call takes a few nanoseconds, which other work on the machine
// can only lengthen: each side's time is its fastest round, the ratio theirs.
Measure Fastest(double (*timed)(bool, DWORD), DWORD calls) {
    double module = 1e30, hand = 1e30;
    for (int round = 0; round < SINGLE_ROUNDS; ++round) {
        module = std::min(module, timed(true, calls));
        hand = std::min(hand, timed(false, calls));
    }
    return Measure{module, hand, module / hand};
}

struct Single {
    const char* label;
    const char16_t* name;
    std::vector<std::u16string> params;
    void (*hand)(const char16_t*, char16_t*);
};

const Single SINGLES[] = {
    {"%*leftstr(abcdef,3)", u"LEFTSTR", {u"abcdef", u"3"}, HandLeftStr},
    {"%*nowdatetime(Y-N-D H:M:S)", u"NOWDATETIME", {u"Y-N-D H:M:S"}, HandNowDateTime},
};
const Single* g_single = nullptr;

double TimeSingle(bool module, DWORD calls) {
    TestCall c(g_single->name, g_single->params);
    c.host.callback = Serve;
    LONGLONG start = Now();
    // Both sides are called directly, as a host calls ModuleEntry.
    auto call = reinterpret_cast<intptr_t>(&c.call);
    for (DWORD i = 0; i < calls; ++i) {
        if (module)
            g_entry(&c.host, MODCALL_FUNCTION, call);
        else
            g_single->hand(c.call.paramList, c.call.resultBuffer);
    }
    return Seconds(Now() - start) * 1e9 / calls;
}

struct Feed {
    HANDLE write;
    DWORD total;
};

DWORD WINAPI FeedPipe(void* argument) {
    auto* feed = static_cast<Feed*>(argument);
    std::string block(64 * 1024, 'a');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>('a' + i % 26);
    for (DWORD sent = 0; sent < feed->total;) {
        DWORD n = std::min<DWORD>(static_cast<DWORD>(block.size()), feed->total - sent);
        DWORD written = 0;
        if (!WriteFile(feed->write, block.data(), n, &written, nullptr)) break;
        sent += written;
    }
    CloseHandle(feed->write);
    return 0;
}

HAND_WRITTEN size_t HandStdIn() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE heap = GetProcessHeap();
    DWORD capacity = 4096;
    auto* text = static_cast<wchar_t*>(HeapAlloc(heap, 0, capacity));
    size_t used = 0;
    char bytes[1025];
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &waiting, nullptr)) break;
        DWORD want = waiting > 0 && waiting < 1024 ? waiting : 1024;
        DWORD n = 0;
        if (!ReadFile(input, bytes, want, &n, nullptr) || n == 0) break;
        bytes[n] = 0;
        DWORD needed = static_cast<DWORD>((used + n + 1) * sizeof(wchar_t));
        if (needed > capacity) {
            while (capacity < needed)
                capacity *= 2;
            text = static_cast<wchar_t*>(HeapReAlloc(heap, 0, text, capacity));
        }
        int k = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, -1, text + used,
                                    static_cast<int>(capacity / sizeof(wchar_t) - used));
        if (k <= 0) break;
        used += static_cast<size_t>(k - 1);
    }
    HeapFree(heap, 0, text);
    return used;
}

// Seconds for one %*stdin() of total bytes.
double TimeStdIn(bool module, DWORD total) {
    HANDLE read, write;
    if (!CreatePipe(&read, &write, nullptr, 64 * 1024)) abort();
    SetStdHandle(STD_INPUT_HANDLE, read);
    Feed feed{write, total};
    HANDLE writer = CreateThread(nullptr, 0, FeedPipe, &feed, 0, nullptr);
    TestCall c(u"STDIN");
    c.host.callback = Serve;
    g_hostTicks = 0;
    g_delivered = 0;
    LONGLONG start = Now();
    size_t got = module ? (c.Run(g_entry), g_delivered) : HandStdIn();
    LONGLONG ticks = Now() - start - g_hostTicks;
    WaitForSingleObject(writer, INFINITE);
    CloseHandle(writer);
    CloseHandle(read);
    if (got != total) {
        fprintf(stderr, "%s read %zu of %lu bytes\n", module ? "STDIN" : "loop", got,
                static_cast<unsigned long>(total));
        exit(1);
    }
    return Seconds(ticks);
}

// Seconds for *stdout of total units in texts of 64 Ki units.
double TimeStdOut(bool module, DWORD total) {
    const size_t textUnits = 64 * 1024;
    std::u16string text(textUnits, u'a');
    for (size_t i = 0; i < textUnits; ++i)
        text[i] = static_cast<char16_t>(u'a' + i % 26);
    TestCall c(u"STDOUT", {text});
    size_t texts = total / textUnits;
    LONGLONG start = Now();
    for (size_t t = 0; t < texts; ++t) {
        if (module) {
            c.Run(g_entry, MODCALL_COMMAND);
            continue;
        }
        char out[4096];
        for (size_t at = 0; at < textUnits; at += 1024) {
            int n =
                WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(text.c_str() + at),
                                    1024, out, 4096, nullptr, nullptr);
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out, static_cast<DWORD>(n), &written,
                      nullptr);
        }
    }
    return Seconds(Now() - start);
}

void Print(const std::string& label, Measure m, const char* unit) {
    printf("%-28s %10.2f %s %10.2f %s %7.2f\n", label.c_str(), m.module, unit, m.hand, unit,
           m.ratio);
}

} // namespace

int main(int argc, char** argv) {
    DWORD outMib = argc > 1 ? static_cast<DWORD>(atoi(argv[1])) : 64;
    HMODULE module = LoadLibraryW(L"" MURLIN_MODULE_FILE);
    if (module == nullptr) {
        fprintf(stderr, "cannot load %s\n", MURLIN_MODULE_FILE);
        return 1;
    }
    g_entry = reinterpret_cast<ModuleEntryFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "ModuleEntry")));
    printf("%-28s %13s %13s %7s\n", "measure", "module", "hand-written", "ratio");
    for (const Single& single : SINGLES) {
        g_single = &single;
        Print(single.label, Fastest(TimeSingle, SINGLE_CALLS), "ns");
    }
    for (int i = 2; i < argc; ++i) {
        DWORD mib = static_cast<DWORD>(atoi(argv[i]));
        Measure m = Alternate(TimeStdIn, mib * MIB);
        Print("%*stdin() " + std::to_string(mib) + " MiB", m, "s ");
        printf("%-28s %10.3f s/MiB\n", "", m.module / mib);
    }
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    Measure m = Alternate(TimeStdOut, outMib * MIB);
    SetStdHandle(STD_OUTPUT_HANDLE, console);
    Print("*stdout " + std::to_string(outMib) + " MiB", m, "s ");
    return 0;
}
