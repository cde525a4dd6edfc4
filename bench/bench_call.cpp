#include "bench/bench_call.h"

#include <benchmark/benchmark.h>

size_t g_longResultUnits = 0;
benchmark::State* g_timedState = nullptr;

namespace {

// The host's version, 1.18, as a host answers it.
constexpr intptr_t HOST_VERSION = 11800;

intptr_t Serve(HostInfo*, int32_t request, void* argument) {
    switch (request) {
    case HOSTREQ_VERSION:
        return HOST_VERSION;
    case HOSTREQ_LONGRESULT: {
        if (g_timedState != nullptr) g_timedState->PauseTiming();
        size_t n = 0;
        for (auto* p = static_cast<const char16_t*>(argument); *p != 0; ++p)
            ++n;
        g_longResultUnits = n;
        if (g_timedState != nullptr) g_timedState->ResumeTiming();
        return 1;
    }
    default:
        return 0;
    }
}

} // namespace

BenchCall::BenchCall(const char16_t* name, const std::vector<std::u16string>& params)
    : TestCall(name, params, 0, 0) {
    host.callback = Serve;
    call.paramList = paramList.c_str();
}
