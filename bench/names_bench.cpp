// The single calls of single_calls.h timed: each name through ModuleEntry
// of the built module, then its plain C baseline, as BM_<name>_module and
// BM_<name>_plain. bench/run_all.sh prints the ratios.
#include "bench/bench_call.h"
#include "bench/single_calls.h"

#include <benchmark/benchmark.h>

namespace {

template <typename Body> void Loop(benchmark::State& state, Body body) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(body());
        benchmark::ClobberMemory();
    }
}

void Measure(benchmark::State& state, const SingleCall* row, bool module) {
    BenchCall c(row->name, row->params);
    BenchCall other(row->name, row->params);
    if (module) {
        Loop(state, [&] { return c.Run(); });
        row->plain(other.call.paramList, other.call.resultBuffer);
        if (!ValuesAgree(*row, c.Result(), other.Result())) state.SkipWithError("wrong value");
    } else {
        PlainCall plain = row->plain;
        Loop(state, [&] { return plain(c.call.paramList, c.call.resultBuffer); });
        other.Run();
        if (!ValuesAgree(*row, other.Result(), c.Result())) state.SkipWithError("wrong value");
    }
}

// Each module call registered next to its baseline, so both see the same machine.
int RegisterSingleCalls() {
    for (const SingleCall& row : SingleCalls()) {
        std::string name = std::string("BM_") + row.label;
        benchmark::RegisterBenchmark((name + "_module").c_str(), Measure, &row, true);
        benchmark::RegisterBenchmark((name + "_plain").c_str(), Measure, &row, false);
    }
    return 0;
}

const int registered = RegisterSingleCalls();

} // namespace
