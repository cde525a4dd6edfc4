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

BenchCall::BenchCall(const char16_t* name, std::vector<std::u16string> params)
    : result(RESULT_BUFFER_UNITS, 0) {
    for (const std::u16string& p : params) {
        paramList += p;
        paramList.push_back(0);
    }
    paramList.push_back(0);
    host.callback = Serve;
    call.name = name;
    call.nameKey = NameKey(name);
    call.resultBuffer = result.data();
    call.paramList = paramList.data();
    call.paramCount = static_cast<uint32_t>(params.size());
}

int32_t BenchCall::Run(int32_t kind) {
    return ModuleEntry(&host, kind, reinterpret_cast<intptr_t>(&call));
}
