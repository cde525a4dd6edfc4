#include "tests/support/test_call.h"

#include <algorithm>

namespace {

intptr_t Decline(HostInfo*, int32_t, void*) {
    return HOSTANSWER_DECLINED;
}

} // namespace

TestCall::TestCall(const std::u16string& n, const std::vector<std::u16string>& params,
                   char16_t fill, size_t guardUnits)
    : name(n), fill_(fill) {
    buffer.assign(RESULT_BUFFER_UNITS, fill);
    buffer.insert(buffer.end(), guardUnits, GUARD_UNIT);
    for (const auto& p : params) {
        paramList += p;
        paramList.push_back(0);
    }
    paramList.push_back(0); // a spare NUL, as a host's list ends
    host.callback = Decline;
    call.name = name.c_str();
    call.nameKey = NameKey(name.c_str());
    call.resultBuffer = buffer.data();
    call.paramList = params.empty() ? nullptr : paramList.c_str();
    call.paramCount = static_cast<uint32_t>(params.size());
}

int32_t TestCall::Run(ModuleEntryFunction entry, int32_t kind) {
    return entry(&host, kind, reinterpret_cast<intptr_t>(&call));
}

std::u16string TestCall::Result() const {
    auto end = buffer.begin() + RESULT_BUFFER_UNITS;
    return std::u16string(buffer.begin(), std::find(buffer.begin(), end, 0));
}

bool TestCall::GuardIntact() const {
    return std::count(buffer.begin() + RESULT_BUFFER_UNITS, buffer.end(), GUARD_UNIT) ==
           static_cast<ptrdiff_t>(buffer.size() - RESULT_BUFFER_UNITS);
}

bool TestCall::ResultUntouched() const {
    return std::count(buffer.begin(), buffer.begin() + RESULT_BUFFER_UNITS, fill_) ==
           static_cast<ptrdiff_t>(RESULT_BUFFER_UNITS);
}

TestHost::TestHost() {
    info.callback = &TestHost::Callback;
    info.reserved1 = this; // the module never reads slots 1 and 2
}

intptr_t TestHost::Callback(HostInfo* host, int32_t code, void* argument) {
    auto* self = static_cast<TestHost*>(host->reserved1);
    HostRequest request{code, {}};
    if (argument != nullptr && code != HOSTREQ_VERSION)
        request.text = static_cast<const char16_t*>(argument);
    self->requests.push_back(request);
    return self->answer ? self->answer(code, argument) : 0;
}

void PrintTo(const HostRequest& request, std::ostream* out) {
    *out << "{" << request.code << ", \"" << Narrow(request.text) << "\"}";
}
