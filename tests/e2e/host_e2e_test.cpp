// murlin-host end to end, through the real Murlin module of this build:
// natively, and in the Windows builds under Wine in the build's width.
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HostEndToEnd, RunsAFunctionLine) {
    ProcessResult r = RunHost({"%*leftstr(abcdef,3)"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ("abc\n", r.out);
    EXPECT_EQ("", r.err);
}

TEST(HostEndToEnd, InfoShowsTheMurlinTitle) {
    ProcessResult r = RunHost({"--info"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Ombry Text Module R7  (c) Murlin 2026")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(MURLIN_MODULE_FILE)) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("192")) << r.out;
}

} // namespace
