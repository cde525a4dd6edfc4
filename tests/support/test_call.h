// A call of ModuleEntry as a host makes it, for tests and benchmarks alike:
// the ParamList laid out as the host lays it out, a result buffer of 1024
// units followed by a guard zone checked for overruns, and the host record.
#pragma once

#include "module/module_api.h"
#include "tests/support/ascii.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

constexpr size_t GUARD_UNITS = 64;
constexpr char16_t GUARD_UNIT = 0xBEEF;

class TestCall {
  public:
    // The result buffer starts as `fill`; guardUnits 0 leaves it exactly
    // 1024 units, where AddressSanitizer guards its end. Without parameters
    // the ParamList is null, as a host may pass it.
    explicit TestCall(const std::u16string& name, const std::vector<std::u16string>& params = {},
                      char16_t fill = 0xAAAA, size_t guardUnits = GUARD_UNITS);
    TestCall(const TestCall&) = delete; // the record points into itself
    TestCall& operator=(const TestCall&) = delete;

    // ModuleEntry, or a loaded module's export, with this record's host.
    int32_t Run(ModuleEntryFunction entry, int32_t kind = MODCALL_FUNCTION);

    std::u16string Result() const; // the result buffer up to its NUL (at most 1024 units)
    bool GuardIntact() const;      // nothing written past 1024 units
    bool ResultUntouched() const;  // the result buffer as it came in

    HostInfo host{};   // its callback answers 0 to everything until a test sets one
    ModuleCall call{}; // points into the members below
    std::u16string name;
    std::u16string paramList;
    std::vector<char16_t> buffer; // 1024 units and the guard

  private:
    char16_t fill_;
};

struct HostRequest {
    int32_t code;
    std::u16string text; // the argument's text, where it has one
    bool operator==(const HostRequest& o) const { return code == o.code && text == o.text; }
};
typedef std::vector<HostRequest> HostRequests;
void PrintTo(const HostRequest& request, std::ostream* out); // for the checks' messages

// A host that records every request and answers through `answer` (0 to
// everything when it is empty). One TestHost serves one thread.
class TestHost {
  public:
    TestHost();
    HostInfo info{};
    std::vector<HostRequest> requests;
    std::function<intptr_t(int32_t code, void* argument)> answer;
    static intptr_t Callback(HostInfo* host, int32_t code, void* argument);
};

// The call through this program's own ModuleEntry, served by `host`.
inline int32_t RunCall(TestHost& host, TestCall& call, int32_t kind = MODCALL_FUNCTION) {
    call.host = host.info;
    return call.Run(ModuleEntry, kind);
}
