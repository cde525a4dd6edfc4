// A host and a call for handler tests: the ParamList laid out as the host
// lays it out, a result buffer of 1024 units (plus a guard zone checked for
// overruns), and a host service that records every request.
#pragma once

#include "module/module_api.h"

#include <functional>
#include <string>
#include <vector>

struct HostRequest {
    int32_t code;
    std::u16string text; // the argument's text, where it has one
};

class TestHost {
  public:
    TestHost();
    HostInfo info{};
    std::vector<HostRequest> requests;
    // Answer per request code; the default answers 0 to everything.
    std::function<intptr_t(int32_t code, void* argument)> answer;
    static intptr_t Callback(HostInfo* host, int32_t code, void* argument);
};

constexpr size_t GUARD_UNITS = 64;
constexpr char16_t GUARD_UNIT = 0xBEEF;

class TestCall {
  public:
    explicit TestCall(const std::u16string& name, std::vector<std::u16string> params = {},
                      char16_t fill = 0xAAAA);
    ModuleCall call{};
    std::u16string Result() const;      // the result buffer up to its NUL
    bool GuardIntact() const;           // nothing written past 1024 units
    bool ResultUntouched() const;       // the result buffer as it came in
    std::vector<char16_t> buffer;       // 1024 units and the guard
    std::vector<char16_t> paramStorage; // the ParamList
    std::u16string name;

  private:
    char16_t fill_;
};

// The parameters given as the host gives them, in a call kind and name.
int32_t RunCall(TestHost& host, TestCall& call, int32_t kind = MODCALL_FUNCTION);

std::u16string U(const std::string& ascii);
