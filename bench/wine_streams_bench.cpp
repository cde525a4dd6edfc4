// %*StdIn and *StdOut of the built DLL, loaded as a host loads it, against
// plain loops that make the same Win32 calls: peek, read at most 1024 bytes,
// MultiByteToWideChar at the end of a heap block grown by the same rule;
// WideCharToMultiByte of pieces of 1024 units and WriteFile. Standard input
// is a pipe made with CreatePipe and fed by a thread; standard output is NUL.
// Module and loop alternate, three times; the medians and their ratio are
// printed. STDIN's input is kept small: a heap block grown by what is needed
// and 64 bytes is copied at every growth under Wine, so both sides take time
// that grows with the square of the input.
//   murlin_wine_bench [stdin MiB] [stdout MiB]
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

// What STDIN does, with the same calls.
size_t PlainStdIn() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE heap = GetProcessHeap();
    DWORD capacity = 4096;
    auto* text = static_cast<char16_t*>(HeapAlloc(heap, 0, capacity));
    size_t used = 0;
    char bytes[1025];
    for (;;) {
        DWORD waiting = 0;
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &waiting, nullptr)) break;
        DWORD want = waiting > 0 && waiting < 1024 ? waiting : 1024;
        DWORD n = 0;
        if (!ReadFile(input, bytes, want, &n, nullptr) || n == 0) break;
        bytes[n] = 0;
        DWORD needed = static_cast<DWORD>((used + 2048) * 2 + 2);
        if (needed >= capacity) {
            capacity = needed + 64;
            text = static_cast<char16_t*>(HeapReAlloc(heap, 0, text, capacity));
        }
        int k = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, -1,
                                    reinterpret_cast<wchar_t*>(text + used), 2048);
        if (k <= 0) break;
        used += static_cast<size_t>(k - 1);
    }
    HeapFree(heap, 0, text);
    return used;
}

double TimeStdIn(bool module, DWORD total) {
    HANDLE read, write;
    if (!CreatePipe(&read, &write, nullptr, 64 * 1024)) abort();
    SetStdHandle(STD_INPUT_HANDLE, read);
    Feed feed{write, total};
    HANDLE writer = CreateThread(nullptr, 0, FeedPipe, &feed, 0, nullptr);
    g_hostTicks = 0;
    size_t got;
    LONGLONG start = Now();
    if (module) {
        TestCall call(u"STDIN", {}, 0, 0);
        call.call.paramList = call.paramList.c_str();
        call.host.callback = Serve;
        g_delivered = 0;
        call.Run(g_entry);
        got = g_delivered;
    } else {
        got = PlainStdIn();
    }
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

double TimeStdOut(bool module, DWORD total) {
    const size_t textUnits = 64 * 1024;
    std::u16string text(textUnits, u'a');
    for (size_t i = 0; i < textUnits; ++i)
        text[i] = static_cast<char16_t>(u'a' + i % 26);
    TestCall call(u"STDOUT", {text}, 0, 0);
    call.host.callback = Serve;
    size_t texts = total / textUnits;
    LONGLONG start = Now();
    for (size_t t = 0; t < texts; ++t) {
        if (module) {
            call.Run(g_entry, MODCALL_COMMAND);
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

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Report(const char* label, double (*timed)(bool, DWORD), DWORD total) {
    std::vector<double> module, plain, ratio;
    for (int run = 0; run < RUNS; ++run) {
        module.push_back(timed(true, total));
        plain.push_back(timed(false, total));
        ratio.push_back(module.back() / plain.back());
    }
    double mib = static_cast<double>(total) / MIB;
    printf("%-26s module %7.1f MiB/s  plain %7.1f MiB/s  ratio %.2f\n", label, mib / Median(module),
           mib / Median(plain), Median(ratio));
}

} // namespace

int main(int argc, char** argv) {
    DWORD inMib = argc > 1 ? static_cast<DWORD>(atoi(argv[1])) : 2;
    DWORD outMib = argc > 2 ? static_cast<DWORD>(atoi(argv[2])) : 64;
    HMODULE module = LoadLibraryW(L"" MURLIN_MODULE_FILE);
    if (module == nullptr) {
        fprintf(stderr, "cannot load %s\n", MURLIN_MODULE_FILE);
        return 1;
    }
    g_entry = reinterpret_cast<ModuleEntryFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "ModuleEntry")));
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    char label[64];
    snprintf(label, sizeof label, "%%*stdin() %lu MiB", static_cast<unsigned long>(inMib));
    Report(label, TimeStdIn, inMib * MIB);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    double (*stdOut)(bool, DWORD) = TimeStdOut;
    std::vector<double> m, p, r;
    for (int run = 0; run < RUNS; ++run) {
        m.push_back(stdOut(true, outMib * MIB));
        p.push_back(stdOut(false, outMib * MIB));
        r.push_back(m.back() / p.back());
    }
    SetStdHandle(STD_OUTPUT_HANDLE, console);
    printf("%-26s module %7.1f MiB/s  plain %7.1f MiB/s  ratio %.2f\n",
           ("*stdout " + std::to_string(outMib) + " MiB").c_str(), outMib / Median(m),
           outMib / Median(p), Median(r));
    return 0;
}
