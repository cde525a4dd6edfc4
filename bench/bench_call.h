// A call of the built module as a host makes it: the ParamList laid out as
// the host lays it out, a result buffer of 1024 units, and a host service
// that answers the requests the benchmarked names make.
#pragma once

#include "module/module_api.h"

#include <string>
#include <vector>

struct BenchCall {
    BenchCall(const char16_t* name, std::vector<std::u16string> params);
    // Calls ModuleEntry, through the module's export, with the call kind.
    int32_t Run(int32_t kind = MODCALL_FUNCTION);
    std::u16string Result() const { return std::u16string(result.data()); }

    HostInfo host{};
    ModuleCall call{};
    std::u16string paramList;
    std::vector<char16_t> result;
};

namespace benchmark {
class State;
}

// The length of the last long value the host took. Measuring it is not part
// of the time of g_timedState, when one is set.
extern size_t g_longResultUnits;
extern benchmark::State* g_timedState;
