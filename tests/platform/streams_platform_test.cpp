// The standard stream operations of this build's backend, on real pipes and
// files put in place of standard input and output.
#include "platform/platform.h"
#include "tests/support/std_stand_in.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <string>

namespace {

struct Peeked {
    bool ok;
    os::DWORD available;
};

Peeked Peek() {
    os::DWORD available = 12345;
    bool ok = os::PeekNamedPipe(os::GetStdHandle(os::STD_INPUT_HANDLE), nullptr, 0, nullptr,
                                &available, nullptr) != 0;
    return {ok, ok ? available : 0};
}

std::string Read(os::DWORD n, bool* ok) {
    std::string bytes(n, '\0');
    os::DWORD got = 0;
    *ok = os::ReadFile(os::GetStdHandle(os::STD_INPUT_HANDLE), &bytes[0], n, &got, nullptr) != 0;
    bytes.resize(got);
    return bytes;
}

TEST(StreamsPlatform, PeekShowsWhatWaitsAndFailsOnceTheWriterHasGoneAndAllIsRead) {
    StdStandIn in(0);
    ASSERT_TRUE(in.Ready());
    Peeked empty = Peek();
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(0u, empty.available);

    ASSERT_TRUE(in.Write("hello"));
    Peeked five = Peek();
    EXPECT_TRUE(five.ok);
    EXPECT_EQ(5u, five.available);

    bool ok = false;
    EXPECT_EQ("hel", Read(3, &ok));
    EXPECT_TRUE(ok);
    in.CloseOther();
    Peeked rest = Peek(); // closed, but bytes remain
    EXPECT_TRUE(rest.ok);
    EXPECT_EQ(2u, rest.available);
    EXPECT_EQ("lo", Read(1024, &ok));
    EXPECT_TRUE(ok);

    EXPECT_FALSE(Peek().ok);
    EXPECT_EQ("", Read(1024, &ok));
    EXPECT_FALSE(ok);
}

TEST(StreamsPlatform, PeekFailsOnAFile) {
    std::string path = std::string(MURLIN_BUILD_DIR) + "/streams_platform_input.txt";
    ASSERT_TRUE(std::ofstream(path, std::ios::binary) << "abc");
    {
        StdStandIn in(0, path);
        ASSERT_TRUE(in.Ready());
        EXPECT_FALSE(Peek().ok);
        bool ok = false;
        EXPECT_EQ("abc", Read(1023, &ok));
        EXPECT_TRUE(ok);
        EXPECT_EQ("", Read(1023, &ok)); // the end of a file is a read of nothing
        EXPECT_TRUE(ok);
    }
    remove(path.c_str());
}

TEST(StreamsPlatform, WritesGoToTheCurrentStandardOutput) {
    StdStandIn out(1);
    ASSERT_TRUE(out.Ready());
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(os::GetStdHandle(os::STD_OUTPUT_HANDLE), "\xEF\xBB\xBFok\r\n", 7,
                              &written, nullptr));
    EXPECT_EQ(7u, written);
    EXPECT_EQ("\xEF\xBB\xBFok\r\n", out.Read(64));
}

TEST(StreamsPlatform, LeadBytes) {
#if defined(_WIN32)
    EXPECT_FALSE(os::IsDBCSLeadByteEx(1252, 0x81));
    EXPECT_TRUE(os::IsDBCSLeadByteEx(932, 0x81));
    EXPECT_FALSE(os::IsDBCSLeadByteEx(932, 0x41));
#else
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(os::IsDBCSLeadByteEx(os::CP_ACP, static_cast<uint8_t>(b)));
#endif
}

} // namespace
