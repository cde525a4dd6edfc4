// A call of the built module as a host makes it, built as the tests build
// theirs (tests/support/test_call.h), with a host service that answers the
// requests the benchmarked names make.
#pragma once

#include "tests/support/test_call.h"

#include <string>
#include <vector>

struct BenchCall : TestCall {
    // The ParamList is never null here, even without parameters.
    BenchCall(const char16_t* name, const std::vector<std::u16string>& params);
    // Calls ModuleEntry, through the module's export, with the call kind.
    int32_t Run(int32_t kind = MODCALL_FUNCTION) { return TestCall::Run(ModuleEntry, kind); }
};

namespace benchmark {
class State;
}

// The length of the last long value the host took. Measuring it is not part
// of the time of g_timedState, when one is set.
extern size_t g_longResultUnits;
extern benchmark::State* g_timedState;
