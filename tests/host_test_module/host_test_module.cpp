// A module for testing murlin-host: it makes each host request on demand and
// shows what the host handed it. An ordinary shared library (it may use the
// C++ library); it exports ModuleEntry as a real module does.
//
// Functions (kind 7):
//   %*ECHO(p1,...)          "<count>:[p1][p2]..." the parameters as received
//   %*MESSAGE(text)         asks HOSTREQ_MESSAGE; the value is the answer
//   %*LONG(n)               a value of n units (x..., ending in "!") through
//                           HOSTREQ_LONGRESULT; "declined <answer>" when declined
//   %*HOSTVERSION()         the answer to HOSTREQ_VERSION
//   %*EXPAND(text)          asks HOSTREQ_EXPAND on a 1024-unit buffer holding
//                           the text; the value is the buffer afterwards
//   %*EXPANDINFO(text)      the same; "<answer>,<length>,<guard intact>"
//   %*EXECUTE(line)         asks HOSTREQ_EXECUTE; the value is the answer
//   %*REQUEST(code)         any request code with no argument; the answer
//   %*BUFFER()              "empty" or "not empty": the result buffer as it came;
//                           then fills all 1024 units (1023 and a NUL)
//   %*FAIL()                shows a message through the host and answers -1
// Commands (kind 6):
//   *RECORD p1,...          keeps the parameters for %*RECORDED()
//   *RUN line               asks HOSTREQ_EXECUTE with the line
// Every call checks that its name is upper case with its NameKey; a call
// that does not is declined. MURLIN_TEST_MODULE_REFUSE set in the
// environment makes the identification answer 0.
#include "module/module_api.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char16_t TITLE[] = u"Murlin host test module";

std::u16string g_recorded = u"nothing";

std::vector<std::u16string> Params(const ModuleCall* call) {
    std::vector<std::u16string> params;
    const char16_t* p = call->paramList;
    for (uint32_t i = 0; i < call->paramCount; ++i) {
        params.emplace_back(p);
        p += params.back().size() + 1;
    }
    return params;
}

std::u16string Number(long long n) {
    std::string text = std::to_string(n);
    return std::u16string(text.begin(), text.end());
}

long long ReadNumber(const std::u16string& text) {
    long long n = 0;
    for (char16_t c : text)
        if (c >= u'0' && c <= u'9') n = n * 10 + (c - u'0');
    return n;
}

std::u16string Joined(const std::vector<std::u16string>& params) {
    std::u16string text = Number(static_cast<long long>(params.size())) + u":";
    for (const auto& p : params)
        text += u"[" + p + u"]";
    return text;
}

// At most 1008 units into the result buffer, like the real module.
void Put(ModuleCall* call, const std::u16string& value) {
    size_t n = value.size() < 1008 ? value.size() : 1008;
    std::memcpy(call->resultBuffer, value.data(), n * sizeof(char16_t));
    call->resultBuffer[n] = 0;
}

intptr_t Ask(HostInfo* host, int32_t code, void* argument) {
    return host->callback(host, code, argument);
}

constexpr size_t GUARD = 64;

int32_t Function(HostInfo* host, ModuleCall* call) {
    std::u16string name = call->name;
    std::vector<std::u16string> params = Params(call);
    std::u16string first = params.empty() ? std::u16string() : params[0];
    if (name == u"ECHO") {
        Put(call, Joined(params));
    } else if (name == u"MESSAGE") {
        Put(call, Number(Ask(host, HOSTREQ_MESSAGE, const_cast<char16_t*>(first.c_str()))));
    } else if (name == u"LONG") {
        std::u16string text(static_cast<size_t>(ReadNumber(first)), u'x');
        if (!text.empty()) text.back() = u'!';
        intptr_t answer = Ask(host, HOSTREQ_LONGRESULT, const_cast<char16_t*>(text.c_str()));
        // The text is the module's: it is gone when the request returns.
        std::fill(text.begin(), text.end(), u'#');
        if (answer == 1)
            call->resultBuffer[0] = 0;
        else
            Put(call, u"declined " + Number(answer));
    } else if (name == u"HOSTVERSION") {
        Put(call, Number(Ask(host, HOSTREQ_VERSION, nullptr)));
    } else if (name == u"EXPAND" || name == u"EXPANDINFO") {
        std::vector<char16_t> buffer(1024 + GUARD, 0xBEEF);
        size_t n = first.size() < 1023 ? first.size() : 1023;
        std::memcpy(buffer.data(), first.data(), n * sizeof(char16_t));
        buffer[n] = 0;
        intptr_t answer = Ask(host, HOSTREQ_EXPAND, buffer.data());
        bool intact =
            std::count(buffer.begin() + 1024, buffer.end(), 0xBEEF) == std::ptrdiff_t{GUARD};
        auto length = std::find(buffer.begin(), buffer.begin() + 1024, 0) - buffer.begin();
        if (name == u"EXPAND")
            std::memcpy(call->resultBuffer, buffer.data(), 1024 * sizeof(char16_t));
        else
            Put(call,
                Number(answer) + u"," + Number(length) + u"," + (intact ? u"intact" : u"overrun"));
    } else if (name == u"EXECUTE") {
        Put(call, Number(Ask(host, HOSTREQ_EXECUTE, const_cast<char16_t*>(first.c_str()))));
    } else if (name == u"REQUEST") {
        Put(call, Number(Ask(host, static_cast<int32_t>(ReadNumber(first)), nullptr)));
    } else if (name == u"BUFFER") {
        bool empty = call->resultBuffer[0] == 0;
        std::fill_n(call->resultBuffer, 1023, u'y');
        call->resultBuffer[1023] = 0;
        Put(call, empty ? u"empty" : u"not empty");
    } else if (name == u"RECORDED") {
        Put(call, g_recorded);
    } else if (name == u"FAIL") {
        Ask(host, HOSTREQ_MESSAGE, const_cast<char16_t*>(u"%*Fail() always fails"));
        return RESULT_FAILED;
    } else {
        return RESULT_NOT_SERVED;
    }
    return RESULT_SERVED;
}

int32_t Command(HostInfo* host, ModuleCall* call) {
    std::u16string name = call->name;
    std::vector<std::u16string> params = Params(call);
    if (name == u"RECORD") {
        g_recorded = Joined(params);
    } else if (name == u"RUN") {
        std::u16string line = params.empty() ? std::u16string() : params[0];
        Ask(host, HOSTREQ_EXECUTE, const_cast<char16_t*>(line.c_str()));
    } else {
        return RESULT_NOT_SERVED;
    }
    return RESULT_SERVED;
}

bool UpperCaseWithItsKey(const ModuleCall* call) {
    for (const char16_t* p = call->name; *p != 0; ++p)
        if (*p >= u'a' && *p <= u'z') return false;
    return call->nameKey == NameKey(call->name);
}

} // namespace

extern "C" MODULE_EXPORT int32_t MODULE_ENTRY_CONV ModuleEntry(HostInfo* host, int32_t kind,
                                                               intptr_t param) {
    if (kind == MODCALL_INFO) {
        const char* refuse = std::getenv("MURLIN_TEST_MODULE_REFUSE");
        if (refuse != nullptr && *refuse != 0) return RESULT_NOT_SERVED;
        auto* request = reinterpret_cast<ModuleInfoRequest*>(param);
        request->servedKinds = MODULE_SERVED_KINDS;
        std::memcpy(request->titleBuffer, TITLE, sizeof TITLE);
        return RESULT_SERVED;
    }
    if (kind != MODCALL_FUNCTION && kind != MODCALL_COMMAND) return RESULT_NOT_SERVED;
    auto* call = reinterpret_cast<ModuleCall*>(param);
    if (!UpperCaseWithItsKey(call)) return RESULT_NOT_SERVED;
    return kind == MODCALL_FUNCTION ? Function(host, call) : Command(host, call);
}
