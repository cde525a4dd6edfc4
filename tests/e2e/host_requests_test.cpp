// murlin-host's answers to every host request, the call records it builds and
// its module handling, against a test module that makes each request on demand.
#include "tests/support/module_loader.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> WithTestModule(std::vector<std::string> args) {
    args.insert(args.begin(), {"--module", MURLIN_HOST_TEST_MODULE});
    return args;
}

struct RequestCase {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
    std::string err;
};

void Check(const RequestCase cases[], size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const RequestCase& c = cases[i];
        ProcessResult r = RunHost(WithTestModule(c.args));
        std::string where = c.args.front() + " ... " + c.args.back();
        EXPECT_EQ(c.exitCode, r.exitCode) << where << "\n" << r.err;
        EXPECT_EQ(c.out, r.out) << where;
        EXPECT_EQ(c.err, r.err) << where;
    }
}

TEST(HostCalls, ParametersArriveSplitAndUnquoted) {
    const RequestCase cases[] = {
        {{"%*echo(a,b)"}, 0, "2:[a][b]\n", ""},
        {{"%*EcHo(x)"}, 0, "1:[x]\n", ""},
        {{"%*echo()"}, 0, "0:\n", ""},
        {{"%*echo"}, 0, "0:\n", ""},
        {{"%*echo(\"\")"}, 0, "1:[]\n", ""},
        {{"%*echo( a , b )"}, 0, "2:[ a ][ b ]\n", ""},
        {{"%*echo(\"a,b\",\"say \"\"hi\"\"\")"}, 0, "2:[a,b][say \"hi\"]\n", ""},
        {{"%*echo(f(a,b),(c,d))"}, 0, "2:[f(a,b)][(c,d)]\n", ""},
        {{"%*echo(%%,%%%%)"}, 0, "2:[%][%%]\n", ""},
        {{"%*echo(\xE6\x97\xA5\xE6\x9C\xAC,\xF0\x9F\x98\x80)"},
         0,
         "2:[\xE6\x97\xA5\xE6\x9C\xAC][\xF0\x9F\x98\x80]\n",
         ""},
        {{"*Record a,\"b,c\"", "%*recorded()"}, 0, "2:[a][b,c]\n", ""},
        {{"%*buffer()"}, 0, "empty\n", ""},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HostCalls, EveryRequestIsAnswered) {
    const std::string longValue = std::string(4999, 'x') + "!";
    const RequestCase cases[] = {
        {{"%*message(hello \xC3\xA9)"}, 0, "1\n", "hello \xC3\xA9\n"},
        {{"--no-host-message", "%*message(hello)"}, 0, "0\n", ""},
        {{"%*long(5000)"}, 0, longValue + "\n", ""},
        {{"--decline-long-results", "%*long(5000)"}, 0, "declined 0\n", ""},
        {{"%*hostversion()"}, 0, "11800\n", ""},
        {{"--host-version", "20304", "%*hostversion()"}, 0, "20304\n", ""},
        {{"*setcust _User:v=7", "%*expand(v=%%*getcust(_User:v) %%*echo(a,b))"},
         0,
         "v=7 2:[a][b]\n",
         ""},
        // An expansion longer than the buffer is cut at 1023 units and a NUL.
        {{"%*expandinfo(%%*long(3000))"}, 0, "1,1023,intact\n", ""},
        {{"%*expandinfo(short)"}, 0, "1,5,intact\n", ""},
        {{"%*execute(line %%*echo(1))"}, 0, "line 1:[1]\n1\n", ""},
        {{"*run *record x", "%*recorded()"}, 0, "1:[x]\n", ""},
        {{"%*request(9999)", "%*request(0)"}, 0, "0\n0\n", ""},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

// --trace: every call with its result, every request with its answer, on
// standard error; what a request causes comes before it, further in.
TEST(HostTrace, ShowsCallsRequestsAndResults) {
    ProcessResult r = RunHost(WithTestModule({"--trace", "%*long(1500)", "*run %%*hostversion()"}));
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(std::string(1499, 'x') + "!\n11800\n", r.out);
    const std::string lines[] = {
        "@ ModuleEntry(0 identify, selector 0)",
        "@ -> 1, served kinds 192, title \"Murlin host test module\"",
        "@ ModuleEntry(7 function, \"LONG\" key 0x8134F3C7, 1 parameter: \"1500\")",
        "  request 3090 long result # -> 1",
        "@ -> 1, value #",
        "@ ModuleEntry(6 command, \"RUN\" key 0x8005354E, 1 parameter: \"%*hostversion()\")",
        "    @ ModuleEntry(7 function, \"HOSTVERSION\" key 0xD3DFD7FF, 0 parameters)",
        "      request 2047 version -> 11800",
        "    @ -> 1, value \"11800\"",
        "  request 1025 execute \"%*hostversion()\" -> 1",
        "@ -> 1",
    };
    const std::string module =
        std::filesystem::path(MURLIN_HOST_TEST_MODULE).filename().u8string() + ":";
    const std::string cut = "\"" + std::string(200, 'x') + "\"... (1500 units)";
    std::string expected;
    for (std::string line : lines) {
        size_t at = line.find('@');
        if (at != std::string::npos) line.replace(at, 1, module);
        at = line.find('#');
        if (at != std::string::npos) line.replace(at, 1, cut);
        expected += "trace: " + line + "\n";
    }
    EXPECT_EQ(expected, r.err);
}

TEST(HostCalls, FailuresInsideRequestsEndTheRun) {
    // The module goes on; the run ends after the line with the failure's status.
    const RequestCase cases[] = {
        {{"%*execute(%%*nosuch())", "never"},
         3,
         "0\n",
         "murlin-host: no module serves the function %*NOSUCH\n"},
        // The buffer keeps the macro text.
        {{"%*expandinfo(%%*fail())"}, 1, "0,8,intact\n", "%*Fail() always fails\n"},
        {{"%*fail()", "never"}, 1, "", "%*Fail() always fails\n"},
    };
    Check(cases, sizeof cases / sizeof cases[0]);
}

TEST(HostCalls, ModulesAreAskedInLoadOrder) {
    ProcessResult r = RunHost({"--module", MURLIN_HOST_TEST_MODULE, "--module", BuiltModulePath(),
                               "--info", "%*echo(a)", "%*leftstr(abc,1)"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    size_t test = r.out.find("Murlin host test module");
    size_t murlin = r.out.find("Ombry Text Module R7");
    EXPECT_NE(std::string::npos, test);
    EXPECT_NE(std::string::npos, murlin);
    EXPECT_LT(test, murlin);
    EXPECT_NE(std::string::npos, r.out.find("1:[a]\na\n")) << r.out;
}

TEST(HostCalls, ModulesThatCannotServeAreRefused) {
    ProcessResult r = RunHost({"--module", MURLIN_HOST_NO_ENTRY_MODULE, "x"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("ModuleEntry")) << r.err;
    r = RunHost({"--module", "no-such-module-file", "x"});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("no-such-module-file")) << r.err;
    ProcessOptions refuse;
    refuse.env = {{"MURLIN_TEST_MODULE_REFUSE", "1"}};
    r = RunHost(WithTestModule({"x"}), refuse);
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("identification")) << r.err;
    EXPECT_EQ("", r.out);
}

} // namespace
