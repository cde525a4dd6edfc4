// Slicing and rotation through murlin-host and the module of this build:
// natively, and in the Windows builds under Wine in the build's width.
#include "tests/support/files.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

TEST(RotationThroughHost, ThreeCommandsTakeFourRunsToComeBack) {
    TempFolder dir("murlin-rotation-e2e");
    std::string settings = dir.Utf8("settings.ini");
    const char* expected[] = {"first\n", "second\n", "third\n", "first\n"};
    for (const char* want : expected)
        EXPECT_EQ(want,
                  HostOutput({"--settings", settings, "*rotateexecute menu,first,second,third"}));
    EXPECT_EQ("1\n", HostOutput({"--settings", settings, "%*getcust(_User:menu)"}));
}

TEST(RotationThroughHost, CustomizeStepsThroughValuesAndWraps) {
    TempFolder dir("murlin-customize-e2e");
    std::string settings = dir.Utf8("settings.ini");
    EXPECT_EQ("b\n", HostOutput({"--settings", settings, "*customize K=a",
                                 "*rotatecustomize K,a,b,c", "%*getcust(\"K\")"}));
    std::string got;
    for (int i = 0; i < 3; ++i)
        got += HostOutput({"--settings", settings, "*rotatecustomize K,a,b,c", "%*getcust(\"K\")"});
    EXPECT_EQ("c\na\nb\n", got);
}

TEST(RotationThroughHost, TooFewParametersShowTheUsage) {
    ProcessResult r = RunHost({"*rotateexecute menu"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::string::npos, r.err.find("*RotateExecute [id],\"command1\",\"command2\"[...]"));
}

TEST(SlicingThroughHost, LongSliceIsOfferedOrCutAt1008) {
    std::string text(3000, 'x');
    for (int i = 0; i < 3000; i += 7)
        text[i] = 'y';
    std::string line = "%*midstr(" + text + ",100)";
    EXPECT_EQ(text.substr(100) + "\n", HostOutput({line}));
    EXPECT_EQ(text.substr(100, 1008) + "\n", HostOutput({"--decline-long-results", line}));
}

TEST(SlicingThroughHost, PaddingAndSlicesOfNonAsciiText) {
    struct Case {
        const char* line;
        const char* out;
    } cases[] = {
        {"%*padding(42,5,0)", "00042\n"},
        {"[%*padding(abc,6,)]", "[   abc]\n"},
        {"%*leftstr(\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E,2)", "\xE6\x97\xA5\xE6\x9C\xAC\n"},
        {"%*rightstr(h\xC3\xA9llo,4)", "\xC3\xA9llo\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.out, HostOutput({c.line})) << c.line;
}

} // namespace
