// murlin-host end to end through the real Murlin module of this build:
// natively, and in the Windows builds under Wine in the build's width. Slicing,
// rotation and the standard streams (on real pipes: under Wine, pipes made by
// CreatePipe) are seen here through the host. Then the host's answers to
// every host request, the call records it builds and its module handling,
// against a test module that makes each request on demand.
#include "tests/support/files.h"
#include "tests/support/module_loader.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

struct HostCase {
    std::vector<std::string> args;
    int exitCode;
    std::string out;
};

TEST(HostWithMurlin, RunsLinesInOrder) {
    const HostCase cases[] = {
        {{"%*leftstr(abcdef,3)"}, 0, "abc\n"},
        {{"%*padding(42,5,0)"}, 0, "00042\n"},
        {{"[%*padding(abc,6,)]"}, 0, "[   abc]\n"},
        {{"%*rightstr(h\xC3\xA9llo,4)"}, 0, "\xC3\xA9llo\n"},
        {{"%*leftstr(\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E,2)"}, 0, "\xE6\x97\xA5\xE6\x9C\xAC\n"},
        {{"%*LeftStr(abcdef,2)", "%*RIGHTSTR(abcdef,2)"}, 0, "ab\nef\n"},
        // Innermost first: RIGHTSTR gives cdef, then LEFTSTR takes two.
        {{"<%*leftstr(%*rightstr(abcdef,4),2)>"}, 0, "<cd>\n"},
        {{"%*leftstr(\"a,b(c\",4)"}, 0, "a,b(\n"},
        {{"%*midstr(%*padding(7,4,0),2,1)%%"}, 0, "0%\n"},
        {{"plain text", ""}, 0, "plain text\n\n"},
        // A failing line ends the run; the module's message is on stderr.
        {{"one", "%*leftstr(abc)", "never"}, 1, "one\n"},
        {{"%*nosuch(1)", "never"}, 3, ""},
        {{"*nosuch 1"}, 3, ""},
    };
    for (const HostCase& c : cases) {
        ProcessResult r = RunHost(c.args);
        EXPECT_EQ(c.exitCode, r.exitCode) << c.args[0] << "\n" << r.err;
        EXPECT_EQ(c.out, r.out) << c.args[0];
    }
}

TEST(HostWithMurlin, InfoShowsTheMurlinTitle) {
    ProcessResult r = RunHost({"--info"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Ombry Text Module R7  (c) Murlin 2026")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(MURLIN_MODULE_FILE)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("192")) << r.out;
}

TEST(HostWithMurlin, TellsWhatFailed) {
    ProcessResult r = RunHost({"%*leftstr(abc)"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("%*LeftStr(\"text\",length)")) << r.err;
    r = RunHost({"*rotateexecute menu"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("*RotateExecute [id],\"command1\",\"command2\"[...]"))
        << r.err;
    r = RunHost({"%*NoSuch()"});
    EXPECT_EQ(3, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("NOSUCH")) << r.err;
    r = RunHost({});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("usage")) << r.err;
    r = RunHost({"--no-such-option", "x"});
    EXPECT_EQ(2, r.exitCode);
}

TEST(HostWithMurlin, LongSliceIsOfferedOrCutAt1008) {
    std::string text(3000, 'x');
    for (int i = 0; i < 3000; i += 7)
        text[i] = 'y';
    std::string line = "%*midstr(" + text + ",100)";
    EXPECT_EQ(text.substr(100) + "\n", HostOutput({line}));
    EXPECT_EQ(text.substr(100, 1008) + "\n", HostOutput({"--decline-long-results", line}));
}

TEST(StreamsEndToEnd, StdInTakesPipedText) {
    const std::string e = "\xC3\xA9";
    struct Case {
        std::string line;
        std::string input;
        std::string out;
    };
    const Case cases[] = {
        {"%*stdin(,utf8)", "h" + e + "llo", "h" + e + "llo\n"},
        {"%*stdin()", "line\r\n", "line\r\n\n"},
        {"%*stdin()", "", "\n"},
        // A character across the end of the first read of 1023 bytes.
        {"%*stdin(,utf8)", std::string(1022, 'a') + e + "z", std::string(1022, 'a') + e + "z\n"},
        {"%*stdin(,utf8)", std::string(3000, 'x') + e, std::string(3000, 'x') + e + "\n"},
        {"%*stdin(,nowait)", "", "\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, HostOutput({c.line}, ProcessOptions{{}, c.input}))
            << c.line << " " << c.input.size();
}

TEST(StreamsEndToEnd, StdInWaitsForTheWriterToClose) {
    ChildProcess host(HostProgramPath(), {"%*stdin(,utf8)"});
    EXPECT_TRUE(host.Write("first "));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(host.Write("second \xE2\x82"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(host.Write("\xAC"));
    host.CloseInput();
    ProcessResult r = host.Finish();
    EXPECT_EQ("first second \xE2\x82\xAC\n", r.out);
    EXPECT_EQ(0, r.exitCode) << r.err;
}

TEST(StreamsEndToEnd, StdInNoWaitOnAnOpenEmptyPipeIsEmptyAtOnce) {
    // The pipe stays open until the host has ended.
    ChildProcess host(HostProgramPath(), {"%*stdin(,nowait)"});
    ProcessResult r = host.Finish();
    EXPECT_EQ("\n", r.out);
    EXPECT_EQ(0, r.exitCode) << r.err;
}

TEST(StreamsEndToEnd, StdOutWritesExactBytes) {
    struct Case {
        std::string line;
        std::string out;
        bool toErr;
    };
    const Case cases[] = {
        {"*stdout abc", "abc", false},
        {"*stdout " + std::string(4095, 'a'), std::string(4095, 'a'), false},
        {"*stdout " + std::string(4096, 'b'), std::string(4096, 'b'), false},
        {"*stdout " + std::string(5000, 'c'), std::string(5000, 'c'), false},
        {"*stdout -utf8,-bom,\"h\xC3\xA9llo\",-crlf", "\xEF\xBB\xBFh\xC3\xA9llo\r\n", false},
        {"*stdout -bom,x,-lf,y,-crlf", "\xEF\xBB\xBFx\ny\r\n", false},
        {"*stdout -LF,utf8", "-LFutf8", false},
        {"*stderr -utf8,\xE2\x82\xAC,-lf", "\xE2\x82\xAC\n", true},
    };
    for (const Case& c : cases) {
        ProcessResult r = RunHost({c.line});
        EXPECT_EQ(0, r.exitCode) << r.err;
        // The other stream stays empty.
        EXPECT_EQ(c.toErr ? "" : c.out, r.out) << c.line.substr(0, 40);
        EXPECT_EQ(c.toErr ? c.out : "", r.err) << c.line.substr(0, 40);
    }
}

TEST(HostWithMurlin, NeverReadsCommandLinesFromStandardInput) {
    ProcessOptions options;
    options.input = "%*leftstr(abcdef,3)\n";
    ProcessResult r = RunHost({}, options);
    EXPECT_EQ(2, r.exitCode);
    EXPECT_EQ("", r.out);
}

class HostFiles : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir.Utf8(name); }
    static std::string Contents(const std::string& path) {
        std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    TempFolder dir{"murlin-host-e2e"};
};

TEST_F(HostFiles, RunsTheLinesOfAUtf8File) {
    std::ofstream(std::filesystem::u8path(Path("lines.txt")), std::ios::binary)
        << "\xEF\xBB\xBF%*leftstr(\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E,2)\r\n*setcust _User:n=4\r\n"
           "n=%*getcust(_User:n)\n";
    EXPECT_EQ("first\n\xE6\x97\xA5\xE6\x9C\xAC\nn=4\nlast\n",
              HostOutput({"--settings", Path("s.ini"), "first", "-f", Path("lines.txt"), "last"}));
    EXPECT_EQ(2, RunHost({"-f", Path("missing.txt")}).exitCode);
}

TEST_F(HostFiles, ConsecutiveRunsShareTheSettingsFile) {
    std::string settings = Path("settings.ini");
    EXPECT_EQ("[]\n", HostOutput({"--settings", settings, "[%*getcust(_User:menu)]",
                                  "*setcust _User:menu=1"}));
    EXPECT_EQ("", HostOutput({"--settings", settings, "*customize K=on",
                              "*setcust _User:menu=%*padding(2,1)"}));
    EXPECT_EQ("2 on\n",
              HostOutput({"--settings", settings, "%*getcust(_User:menu) %*getcust(\"K\")"}));
}

TEST_F(HostFiles, RotationThreeCommandsTakeFourRunsToComeBack) {
    std::string settings = Path("settings.ini");
    const char* expected[] = {"first\n", "second\n", "third\n", "first\n"};
    for (const char* want : expected)
        EXPECT_EQ(want,
                  HostOutput({"--settings", settings, "*rotateexecute menu,first,second,third"}));
    EXPECT_EQ("1\n", HostOutput({"--settings", settings, "%*getcust(_User:menu)"}));
}

TEST_F(HostFiles, RotateCustomizeStepsThroughValuesAndWraps) {
    std::string settings = Path("settings.ini");
    EXPECT_EQ("b\n", HostOutput({"--settings", settings, "*customize K=a",
                                 "*rotatecustomize K,a,b,c", "%*getcust(\"K\")"}));
    std::string got;
    for (int i = 0; i < 3; ++i)
        got += HostOutput({"--settings", settings, "*rotatecustomize K,a,b,c", "%*getcust(\"K\")"});
    EXPECT_EQ("c\na\nb\n", got);
}

TEST_F(HostFiles, TraceShowsWhatARotationAsks) {
    ProcessResult r =
        RunHost({"--trace", "--settings", Path("s.ini"), "*rotatecustomize K,\"a\",\"b\""});
    EXPECT_EQ(0, r.exitCode) << r.err;
    for (const char* line :
         {": ModuleEntry(6 command, \"ROTATECUSTOMIZE\" key 0xDF77D7F5, 3 parameters: \"K\", "
          "\"a\", \"b\")\n",
          "\ntrace:   request 1025 execute \"*customize K=a\" -> 1\n"})
        EXPECT_NE(std::string::npos, r.err.find(line)) << r.err;
}

TEST_F(HostFiles, TwoHostsRotatingAtOnceLoseNoStep) {
    // 200 empty commands: 200 steps from no position end on the 200th.
    std::string line = "*rotateexecute rid" + std::string(200, ',') + "\n";
    std::ofstream steps(std::filesystem::u8path(Path("steps.txt")), std::ios::binary);
    for (int i = 0; i < 100; ++i)
        steps << line;
    steps.close();
    std::vector<std::string> args = {"--settings", Path("settings.ini"), "-f", Path("steps.txt")};
    ProcessResult other;
    std::thread second([&] { other = RunHost(args); });
    ProcessResult first = RunHost(args);
    second.join();
    EXPECT_EQ(0, first.exitCode) << first.err;
    EXPECT_EQ(0, other.exitCode) << other.err;
    EXPECT_EQ("200\n", HostOutput({"--settings", Path("settings.ini"), "%*getcust(_User:rid)"}));
}

TEST_F(HostFiles, AHandWrittenSettingsFileKeepsEveryOtherLine) {
    std::string settings = Path("settings.ini");
    std::ofstream(std::filesystem::u8path(settings), std::ios::binary)
        << "; kept by hand\r\n[murlin]\r\nno equals sign\r\n\xFF\xFE not UTF-8\r\n"
           "_User:a=1\r\n# the end\r\n";
    EXPECT_EQ("", HostOutput({"--settings", settings, "*setcust _User:a=2", "*setcust _User:b=3"}));
    EXPECT_EQ("; kept by hand\r\n[murlin]\r\nno equals sign\r\n\xFF\xFE not UTF-8\r\n"
              "_User:a=2\r\n# the end\r\n_User:b=3\r\n",
              Contents(settings));
}

TEST_F(HostFiles, DefaultSettingsFileUnderTheConfigurationDirectory) {
    ProcessOptions options;
#if defined(_WIN32)
    options.env = {{"APPDATA", dir.Utf8()}};
#else
    options.env = {{"XDG_CONFIG_HOME", dir.Utf8()}};
#endif
    EXPECT_EQ("", HostOutput({"*setcust _User:x=\xC3\xA9t\xC3\xA9"}, options));
    EXPECT_NE(std::string::npos,
              Contents(Path("murlin/settings.ini")).find("_User:x=\xC3\xA9t\xC3\xA9\n"));
    EXPECT_EQ("\xC3\xA9t\xC3\xA9\n", HostOutput({"%*getcust(_User:x)"}, options));
}

TEST_F(HostFiles, ACrashDuringTheRewriteLeavesTheOldFileWhole) {
    std::string settings = Path("settings.ini");
    ASSERT_EQ("", HostOutput({"--settings", settings, "*setcust _User:a=1", "*setcust _User:b=2"}));
    std::string before = Contents(settings);
    ProcessOptions crash;
    crash.env = {{"MURLIN_HOST_CRASH_IN_REWRITE", "1"}};
    ProcessResult r = RunHost({"--settings", settings, "*setcust _User:a=changed"}, crash);
    EXPECT_NE(0, r.exitCode);
    EXPECT_EQ(before, Contents(settings));
    EXPECT_EQ("12\n3\n", HostOutput({"--settings", settings, "%*getcust(_User:a)%*getcust(_User:b)",
                                     "*setcust _User:a=3", "%*getcust(_User:a)"}));
}

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
