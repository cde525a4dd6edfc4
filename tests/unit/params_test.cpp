#include "module/params.h"
#include "platform/testing/fake_platform.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct DecimalCase {
    std::u16string text;
    uint32_t value;
    size_t stop; // where the cursor is left
};

TEST(ReadDecimal, ReadsBlanksThenDigitsModulo2To32) {
    const DecimalCase cases[] = {
        {u"  42abc", 42, 4},    {u"", 0, 0},
        {u"-5", 0, 0},          {u"+5", 0, 0},
        {u" \t7", 0, 1},        {u"4294967295", 4294967295u, 10},
        {u"4294967296", 0, 10}, {u"4294967297", 1, 10},
        {u"00012", 12, 5},      {u"12 34", 12, 2},
        {u"\uFF11", 0, 0},      {u"   ", 0, 3},
    };
    for (const DecimalCase& c : cases) {
        const char16_t* cursor = c.text.c_str();
        EXPECT_EQ(c.value, ReadDecimal(cursor)) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(c.stop, static_cast<size_t>(cursor - c.text.c_str()));
    }
}

TEST(NextParam, StepsPastTheNul) {
    const char16_t list[] = u"ab\0\0cd";
    const char16_t* p = NextParam(list);
    EXPECT_EQ(list + 3, p);
    EXPECT_EQ(list + 4, NextParam(p));
}

class DeliveryTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    TestHost host;
    TestCall call{u"LEFTSTR"};
    void Answer(intptr_t value) {
        host.answer = [value](int32_t, void*) { return value; };
    }
};

TEST_F(DeliveryTest, ResultOf1008UnitsGoesIntoTheBuffer) {
    std::u16string text(1008, u'x');
    DeliverResult(&host.info, &call.call, text.c_str());
    EXPECT_EQ(text, call.Result());
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(DeliveryTest, LongResultAcceptedLeavesTheBufferEmpty) {
    Answer(1);
    std::u16string text(1009, u'x');
    DeliverResult(&host.info, &call.call, text.c_str());
    ASSERT_EQ(1u, host.requests.size());
    EXPECT_EQ(HOSTREQ_LONGRESULT, host.requests[0].code);
    EXPECT_EQ(text, host.requests[0].text);
    EXPECT_EQ(u"", call.Result());
}

TEST_F(DeliveryTest, LongResultDeclinedIsCutTo1008) {
    for (intptr_t answer : {0, 2, -1}) {
        TestCall c(u"X");
        Answer(answer);
        std::u16string text(5000, u'y');
        DeliverResult(&host.info, &c.call, text.c_str());
        EXPECT_EQ(std::u16string(1008, u'y'), c.Result()) << answer;
        EXPECT_TRUE(c.GuardIntact());
    }
}

TEST_F(DeliveryTest, SliceOf1008UnitsAllocatesNothing) {
    std::u16string text = std::u16string(1008, u'a') + u"bcd";
    DeliverSlice(&host.info, &call.call, text.c_str(), 1008);
    EXPECT_EQ(std::u16string(1008, u'a'), call.Result());
    EXPECT_EQ(0u, fake::Count("HeapAlloc"));
    EXPECT_TRUE(host.requests.empty());
}

TEST_F(DeliveryTest, LongSliceAcceptedIsAnExactCopyAndTheBufferIsUntouched) {
    Answer(1);
    std::u16string text = std::u16string(1009, u'a') + u"TAIL";
    DeliverSlice(&host.info, &call.call, text.c_str(), 1009);
    ASSERT_EQ(1u, host.requests.size());
    EXPECT_EQ(std::u16string(1009, u'a'), host.requests[0].text);
    ASSERT_EQ(1u, fake::State().allocationSizes.size());
    EXPECT_EQ(1010u * 2, fake::State().allocationSizes[0]);
    EXPECT_TRUE(fake::State().liveBlocks.empty()) << "the copy is freed";
    EXPECT_TRUE(call.ResultUntouched());
}

TEST_F(DeliveryTest, LongSliceDeclinedOrUnallocatedIsCutTo1008) {
    for (bool allocationFails : {false, true}) {
        fake::Reset();
        TestCall c(u"X");
        Answer(0);
        if (allocationFails) fake::FailNth("HeapAlloc", 1);
        std::u16string text(3000, u'z');
        DeliverSlice(&host.info, &c.call, text.c_str(), 1009);
        EXPECT_EQ(std::u16string(1008, u'z'), c.Result());
        EXPECT_TRUE(fake::State().liveBlocks.empty());
        EXPECT_TRUE(c.GuardIntact());
    }
}

// A computed value of any length: in the buffer, whole to a host that takes
// it, else its first 1008 units; the source is read only through the writer.
TEST_F(DeliveryTest, ComputedValueIsWrittenWhereItGoes) {
    auto upper = [](char16_t* out, const char16_t* source, size_t n) {
        for (size_t i = 0; i < n; ++i)
            out[i] = source[i] - 32;
        out[n] = 0;
    };
    const std::u16string text(1009, u'q'), upperText(1009, u'Q');
    for (size_t n : {size_t{5}, size_t{1009}})
        for (intptr_t answer : {0, 1}) {
            fake::Reset();
            TestCall c(u"X");
            host.requests.clear();
            Answer(answer);
            DeliverComputed(&host.info, &c.call, text.c_str(), n, upper);
            bool taken = n > 1008 && answer == 1;
            EXPECT_EQ(n > 1008, !host.requests.empty()) << n;
            if (taken) {
                EXPECT_EQ(upperText, host.requests[0].text);
            }
            EXPECT_TRUE(taken ? c.ResultUntouched()
                              : c.Result() == upperText.substr(0, std::min(n, size_t{1008})))
                << n;
            EXPECT_TRUE(fake::State().liveBlocks.empty());
        }
}

TEST_F(DeliveryTest, UsageGoesToTheHostOrElseToOneMessageBox) {
    Answer(1);
    ShowUsage(&host.info, u"usage");
    EXPECT_EQ(0u, fake::Count("MessageBoxW"));
    for (intptr_t answer : {0, 2}) {
        fake::Reset();
        Answer(answer);
        ShowUsage(&host.info, u"usage");
        ASSERT_EQ(1u, fake::Count("MessageBoxW"));
        const fake::Call& box = fake::State().calls.back();
        EXPECT_EQ(u"usage", box.text);
        EXPECT_EQ((std::vector<intptr_t>{0, 0, 0}), fake::Args(box))
            << "no owner, no caption, MB_OK";
    }
}

} // namespace
