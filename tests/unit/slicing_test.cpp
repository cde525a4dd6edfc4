#include "platform/testing/fake_platform.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

namespace {

struct SliceCase {
    const char* label;
    std::u16string name;
    std::vector<std::u16string> params;
    int32_t result;
    std::u16string value;
};

class SlicingTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    void Check(const SliceCase& c) {
        TestHost host;
        TestCall call(c.name, c.params);
        EXPECT_EQ(c.result, RunCall(host, call)) << c.label;
        if (c.result == 1) {
            EXPECT_EQ(c.value, call.Result()) << c.label;
        } else {
            EXPECT_TRUE(call.ResultUntouched()) << c.label;
            EXPECT_EQ((HostRequests{{HOSTREQ_MESSAGE, c.value}}), host.requests) << c.label;
        }
        EXPECT_TRUE(call.GuardIntact()) << c.label;
    }
};

const std::u16string LEFT_USAGE = u"%*LeftStr(\"text\",length)";
const std::u16string RIGHT_USAGE = u"%*RightStr(\"text\",length)";
const std::u16string MID_USAGE = u"%*MidStr(\"text\",index[,length])";
const std::u16string PAD_USAGE = u"%*Pagging(\"text\",length[,\"pad letter\"])";

TEST_F(SlicingTest, SlicersCutByUnsignedCounts) {
    const SliceCase cases[] = {
        {"left 3", u"LEFTSTR", {u"abcdef", u"3"}, 1, u"abc"},
        {"left beyond", u"LEFTSTR", {u"abcdef", u"10"}, 1, u"abcdef"},
        {"left 0", u"LEFTSTR", {u"abcdef", u"0"}, 1, u""},
        {"left signed", u"LEFTSTR", {u"abcdef", u"-2"}, 1, u""},
        {"left trailing text", u"LEFTSTR", {u"abcdef", u"3xyz"}, 1, u"abc"},
        {"left wraps", u"LEFTSTR", {u"abcdef", u"4294967298"}, 1, u"ab"},
        {"left one param", u"LEFTSTR", {u"abcdef"}, -1, LEFT_USAGE},
        {"left three params", u"LEFTSTR", {u"abcdef", u"3", u"1"}, -1, LEFT_USAGE},
        {"right 2", u"RIGHTSTR", {u"abcdef", u"2"}, 1, u"ef"},
        {"right beyond", u"RIGHTSTR", {u"abcdef", u"99"}, 1, u"abcdef"},
        {"right one param", u"RIGHTSTR", {u"abcdef"}, -1, RIGHT_USAGE},
        {"mid rest", u"MIDSTR", {u"abcdef", u"2"}, 1, u"cdef"},
        {"mid 2,3", u"MIDSTR", {u"abcdef", u"2", u"3"}, 1, u"cde"},
        {"mid 0,0", u"MIDSTR", {u"abcdef", u"0", u"0"}, 1, u""},
        {"mid at end", u"MIDSTR", {u"abcdef", u"6"}, 1, u""},
        {"mid past end", u"MIDSTR", {u"abcdef", u"9", u"1"}, 1, u""},
        {"mid blank after index", u"MIDSTR", {u"abcdef", u"2 ", u"3"}, 1, u""},
        {"mid length inside index", u"MIDSTR", {u"abcdef", u"1x3", u"1"}, 1, u"bcd"},
        {"mid extra params", u"MIDSTR", {u"abcdef", u"1", u"2", u"zz"}, 1, u"bc"},
        {"mid huge length", u"MIDSTR", {u"abcdef", u"4", u"4294967295"}, 1, u"ef"},
        {"substring", u"SUBSTRING", {u"abcdef", u"1x3", u"1"}, 1, u"bcd"},
        {"mid one param", u"MIDSTR", {u"abcdef"}, -1, MID_USAGE},
        {"substring no params", u"SUBSTRING", {}, -1, MID_USAGE},
    };
    for (const SliceCase& c : cases)
        Check(c);
}

TEST_F(SlicingTest, PaddingAlignsRightWithinTheBuffer) {
    const std::u16string text2000(2000, u't');
    const SliceCase cases[] = {
        {"blanks", u"PADDING", {u"abc", u"6"}, 1, u"   abc"},
        {"zeros", u"PADDING", {u"42", u"5", u"0"}, 1, u"00042"},
        {"first unit only", u"PADDING", {u"abc", u"6", u"xyz"}, 1, u"xxxabc"},
        {"empty pad param pads blanks", u"PADDING", {u"abc", u"6", u""}, 1, u"   abc"},
        {"blank after width pads blanks", u"PADDING", {u"abc", u"6 ", u"0"}, 1, u"   abc"},
        {"pad read inside width", u"PADDING", {u"abc", u"6-0", u"z"}, 1, u"000abc"},
        {"never cut", u"PADDING", {u"abcdef", u"3"}, 1, u"abcdef"},
        {"width capped", u"PADDING", {u"abc", u"5000"}, 1, std::u16string(1020, u' ') + u"abc"},
        {"text capped", u"PADDING", {text2000, u"10"}, 1, std::u16string(1023, u't')},
        {"negative width", u"PADDING", {u"abc", u"2147483648"}, 1, u"abc"},
        {"one param", u"PADDING", {u"abc"}, -1, PAD_USAGE},
    };
    for (const SliceCase& c : cases)
        Check(c);
}

TEST_F(SlicingTest, LongSliceIsOfferedToTheHostWhole) {
    const std::u16string text = Repeat(u"abcdefghijklmnopqrstuvwxyz", 116).substr(0, 3000);
    for (intptr_t answer : {1, 0}) {
        TestHost host;
        host.answer = [answer](int32_t, void*) { return answer; };
        TestCall call(u"MIDSTR", {text, u"100"});
        EXPECT_EQ(1, RunCall(host, call));
        EXPECT_EQ((HostRequests{{HOSTREQ_LONGRESULT, text.substr(100)}}), host.requests);
        if (answer == 1)
            EXPECT_TRUE(call.ResultUntouched());
        else
            EXPECT_EQ(text.substr(100, 1008), call.Result());
        EXPECT_TRUE(fake::State().liveBlocks.empty());
    }
}

} // namespace
