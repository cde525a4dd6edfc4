// %*StdIn and *StdOut through ModuleEntry of the built module, against plain
// C loops that do the same observable work: peek, read at most 1024 bytes,
// widen them by a cast into a buffer grown by the same rule; narrow pieces
// of 1024 units by a cast and write them. bench/run_all.sh runs each side
// in a process of its own, so that its peak memory is its own.
#include "bench/bench_call.h"
#include "bench/single_calls.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t MIB = 1024 * 1024;

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
    BenchCall c(u"STDIN", {});
    g_longResultUnits = 0;
    g_timedState = &state;
    c.Run();
    g_timedState = nullptr;
    state.PauseTiming();
    if (g_longResultUnits != total) state.SkipWithError("STDIN lost input");
    state.ResumeTiming();
}

// What STDIN does: a peek, a read of what it showed (at most 1024 bytes; a
// blocking read of 1024 when nothing was waiting), the bytes widened at the
// end of a buffer grown to what is needed and 64 bytes.
void RunPlainLoop(benchmark::State& state, size_t total) {
    char bytes[1024];
    uint32_t capacity = 4096;
    auto* text = static_cast<char16_t*>(malloc(capacity));
    size_t used = 0;
    for (;;) {
        int waiting = 0;
        if (ioctl(0, FIONREAD, &waiting) != 0) break;
        size_t want = waiting > 0 && waiting < 1024 ? static_cast<size_t>(waiting) : 1024;
        ssize_t n = read(0, bytes, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        uint64_t needed = (used + 2048) * 2 + 2;
        if (needed >= capacity) {
            capacity = static_cast<uint32_t>(needed + 64);
            text = static_cast<char16_t*>(realloc(text, capacity));
        }
        for (ssize_t i = 0; i < n; ++i)
            text[used + static_cast<size_t>(i)] = static_cast<unsigned char>(bytes[i]);
        used += static_cast<size_t>(n);
        text[used] = 0;
    }
    benchmark::DoNotOptimize(text);
    free(text);
    state.PauseTiming();
    if (used != total) state.SkipWithError("plain loop lost input");
    state.ResumeTiming();
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
    std::u16string text = StdOutText(textUnits);
    BenchCall c(u"STDOUT", {text});
    fflush(stdout);
    int saved = dup(1);
    int sink = open("/dev/null", O_WRONLY);
    dup2(sink, 1);
    close(sink);
    for (auto _ : state) {
        for (size_t t = 0; t < texts; ++t) {
            if (state.range(0) == 0)
                c.Run(MODCALL_COMMAND);
            else
                PlainStdOut(text.c_str(), textUnits);
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
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StdInSlowWriter)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_StdOut)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
