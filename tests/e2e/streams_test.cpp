// %*StdIn, *StdOut and *StdErr through murlin-host and the module of this
// build, on real pipes: natively, and under Wine with pipes made by
// CreatePipe.
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

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

} // namespace
