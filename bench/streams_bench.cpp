// %*StdIn and *StdOut against plain loops that do the same work: blocking
// reads of 1024 bytes converted into a buffer grown by the same rule, and
// writes of the same chunk sizes. Each pair runs in the same process; the
// script bench/run_streams.sh prints the ratios and the peak memory.
#include "module/handlers.h"
#include "module/module_api.h"
#include "platform/platform.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t MIB = 1024 * 1024;

size_t g_delivered = 0;
benchmark::State* g_state = nullptr;

// The host takes the value; checking its length is not part of the time.
intptr_t TakeLongResult(HostInfo*, int32_t request, void* argument) {
    if (request != HOSTREQ_LONGRESULT) return 0;
    g_state->PauseTiming();
    size_t n = 0;
    for (auto* p = static_cast<const char16_t*>(argument); *p != 0; ++p)
        ++n;
    g_delivered = n;
    g_state->ResumeTiming();
    return 1;
}

// A writer on the other end of a pipe that stands in for standard input.
struct Feed {
    int saved = -1;
    std::thread writer;

    Feed(size_t total, size_t chunk, std::chrono::microseconds pause, int pipeSize) {
        int fds[2];
        if (pipe(fds) != 0) abort();
        if (pipeSize > 0) fcntl(fds[1], F_SETPIPE_SZ, pipeSize);
        saved = dup(0);
        dup2(fds[0], 0);
        close(fds[0]);
        int out = fds[1];
        writer = std::thread([=] {
            std::string block(chunk, 'a');
            for (size_t i = 0; i < chunk; ++i)
                block[i] = static_cast<char>('a' + i % 26);
            for (size_t sent = 0; sent < total;) {
                size_t n = chunk < total - sent ? chunk : total - sent;
                for (size_t done = 0; done < n;) {
                    ssize_t w = write(out, block.data() + done, n - done);
                    if (w < 0 && errno == EINTR) continue;
                    if (w <= 0) abort();
                    done += static_cast<size_t>(w);
                }
                sent += n;
                if (pause.count() > 0) std::this_thread::sleep_for(pause);
            }
            close(out);
        });
    }
    ~Feed() {
        writer.join();
        dup2(saved, 0);
        close(saved);
    }
};

void PeakMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mib"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void RunStdIn(benchmark::State& state, size_t total) {
    HostInfo host{TakeLongResult, nullptr, nullptr, nullptr};
    std::vector<char16_t> result(RESULT_BUFFER_UNITS);
    const char16_t params[] = u"\0";
    ModuleCall call{};
    call.name = u"STDIN";
    call.nameKey = NameKey(u"STDIN");
    call.resultBuffer = result.data();
    call.paramList = params;
    call.paramCount = 0;
    g_delivered = 0;
    g_state = &state;
    ReadStdIn(&host, &call);
    if (g_delivered != total) state.SkipWithError("STDIN lost input");
}

// What STDIN does, without the peeks: blocking reads of 1024 bytes, each
// converted at the end of a buffer grown to what is needed and 64 bytes.
void RunPlainLoop(benchmark::State& state, size_t total) {
    char bytes[2048];
    uint32_t capacity = 4096;
    auto* text = static_cast<char16_t*>(malloc(capacity));
    size_t used = 0;
    text[0] = 0;
    for (;;) {
        ssize_t n = read(0, bytes, 1024);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes[n] = 0;
        uint64_t needed = (used + 2048) * 2 + 2;
        if (needed >= capacity) {
            capacity = static_cast<uint32_t>(needed + 64);
            text = static_cast<char16_t*>(realloc(text, capacity));
        }
        int32_t k = os::MultiByteToWideChar(0, 1, bytes, -1, text + used, 2048);
        if (k <= 0) break;
        used += static_cast<size_t>(k - 1);
    }
    benchmark::DoNotOptimize(text);
    free(text);
    if (used != total) state.SkipWithError("plain loop lost input");
}

void BM_StdInFastWriter(benchmark::State& state) {
    const size_t total = 200 * MIB;
    for (auto _ : state) {
        Feed feed(total, 64 * 1024, std::chrono::microseconds(0), 0);
        if (state.range(0) == 0)
            RunStdIn(state, total);
        else
            RunPlainLoop(state, total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
    PeakMemory(state);
}

void BM_StdInSlowWriter(benchmark::State& state) {
    const size_t total = 8 * MIB;
    for (auto _ : state) {
        Feed feed(total, 4096, std::chrono::microseconds(500), 4096);
        if (state.range(0) == 0)
            RunStdIn(state, total);
        else
            RunPlainLoop(state, total);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
    PeakMemory(state);
}

// 200 MiB as 3200 texts of 64 Ki letters: each too long for one conversion,
// so it goes out in pieces of 1024 units, 1024 bytes each.
void BM_StdOut(benchmark::State& state) {
    const size_t textUnits = 64 * 1024, texts = 3200;
    std::u16string text(textUnits, u'a');
    for (size_t i = 0; i < textUnits; ++i)
        text[i] = static_cast<char16_t>(u'a' + i % 26);
    HostInfo host{TakeLongResult, nullptr, nullptr, nullptr};
    ModuleCall call{};
    call.name = u"STDOUT";
    call.nameKey = NameKey(u"STDOUT");
    call.paramList = text.c_str();
    call.paramCount = 1;
    fflush(stdout);
    int saved = dup(1);
    int sink = open("/dev/null", O_WRONLY);
    dup2(sink, 1);
    close(sink);
    for (auto _ : state) {
        for (size_t t = 0; t < texts; ++t) {
            if (state.range(0) == 0) {
                WriteStdStream(&host, &call, -11);
                continue;
            }
            char out[4096];
            for (size_t at = 0; at < textUnits; at += 1024) {
                int32_t n = os::WideCharToMultiByte(0, 0, text.c_str() + at, 1024, out, 4096,
                                                    nullptr, nullptr);
                for (int32_t done = 0; done < n;) {
                    ssize_t w = write(1, out + done, static_cast<size_t>(n - done));
                    if (w <= 0) break;
                    done += static_cast<int32_t>(w);
                }
            }
        }
    }
    dup2(saved, 1);
    close(saved);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * textUnits * texts));
    PeakMemory(state);
}

// Argument 0: the module; 1: the plain loop.
BENCHMARK(BM_StdInFastWriter)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StdInSlowWriter)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StdOut)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
