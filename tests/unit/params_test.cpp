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

// A value of up to 1008 units goes into the buffer; a longer one is offered
// to the host, and cut to 1008 units unless the host answers 1. A long slice
// is offered from an exact copy, freed afterwards; without the copy it is cut.
TEST_F(DeliveryTest, LongValuesAreOfferedAndCutTo1008UnlessTaken) {
    struct Case {
        bool slice;
        size_t units;
        intptr_t answer;
        bool allocationFails;
    };
    const Case cases[] = {
        {false, 1008, 0, false}, {false, 1009, 1, false},  {false, 5000, 0, false},
        {false, 5000, 2, false}, {false, 5000, -1, false}, {true, 1008, 0, false},
        {true, 1009, 1, false},  {true, 1009, 0, false},   {true, 1009, 0, true},
    };
    // The slices end before a tail that must not be offered.
    const std::u16string text = std::u16string(5000, u'y') + u"TAIL";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "slice " << c.slice << ", " << c.units << " units, answer " << c.answer
                     << ", allocation fails " << c.allocationFails);
        fake::Reset();
        host.requests.clear();
        Answer(c.answer);
        if (c.allocationFails) fake::FailNth("HeapAlloc", 1);
        TestCall fresh(u"X");
        if (c.slice)
            DeliverSlice(&host.info, &fresh.call, text.c_str(), c.units);
        else
            DeliverResult(&host.info, &fresh.call, text.substr(0, c.units).c_str());
        bool offered = c.units > 1008 && !c.allocationFails, taken = offered && c.answer == 1;
        EXPECT_EQ((offered ? HostRequests{{HOSTREQ_LONGRESULT, text.substr(0, c.units)}}
                           : HostRequests()),
                  host.requests);
        if (c.slice && taken) {
            EXPECT_TRUE(fresh.ResultUntouched());
            EXPECT_EQ(std::vector<size_t>{1010u * 2}, fake::State().allocationSizes);
        } else {
            EXPECT_EQ(taken ? std::u16string() : text.substr(0, std::min(c.units, size_t{1008})),
                      fresh.Result());
        }
        if (c.slice && c.units <= 1008) {
            EXPECT_EQ(0u, fake::Count("HeapAlloc"));
        }
        EXPECT_TRUE(fake::State().liveBlocks.empty());
        EXPECT_TRUE(fresh.GuardIntact());
    }
}

// A computed value: written into the buffer, whole for a host that takes
// it, else its first 1008 units.
TEST_F(DeliveryTest, ComputedValueIsWrittenWhereItGoes) {
    const std::u16string text(1009, u'q');
    for (size_t n : {size_t{5}, size_t{1009}})
        for (intptr_t answer : {0, 1}) {
            TestCall c(u"X");
            host.requests.clear();
            Answer(answer);
            DeliverComputed(&host.info, &c.call, text.c_str(), n,
                            [](char16_t* out, const char16_t* source, size_t count) {
                                for (size_t i = 0; i <= count; ++i)
                                    out[i] = i < count ? source[i] - 32 : 0;
                            });
            bool taken = n > 1008 && answer == 1;
            std::u16string value(taken ? n : std::min(n, size_t{1008}), u'Q');
            EXPECT_EQ(value, taken ? host.requests[0].text : c.Result()) << n << answer;
            EXPECT_TRUE(!taken || c.ResultUntouched()) << n;
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
