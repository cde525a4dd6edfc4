#include "datetime/date_format.h"
#include "platform/testing/fake_platform.h"
#include "tests/support/ascii.h"
#include "tests/support/era_boundary_hook.h"
#include "tests/unit/guarded_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Sunday 2000-12-31 23:59:59.007 and Tuesday 2024-03-05 09:07:04.000.
const os::SYSTEMTIME END_OF_2000{2000, 12, 0, 31, 23, 59, 59, 7};
const os::SYSTEMTIME MARCH_2024{2024, 3, 2, 5, 9, 7, 4, 0};

// The buffer ends where a page that faults begins: a write past it stops the test.
std::u16string Format(const char16_t* format, const os::SYSTEMTIME* date, size_t room = 1024) {
    PageBeforeAHole hole;
    if (!hole.Usable()) {
        ADD_FAILURE() << "no guarded page";
        return u"";
    }
    char16_t* buffer = reinterpret_cast<char16_t*>(hole.base + hole.page) - room;
    FormatDateTime(format, date, buffer, room);
    size_t n = 0;
    while (n < room && buffer[n] != 0)
        ++n;
    EXPECT_LT(n, room) << "no NUL";
    return std::u16string(buffer, n);
}

class FormatTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        ForgetEraBoundary();
    }
};

TEST_F(FormatTest, EveryLetterForBothInstants) {
    struct Case {
        const char16_t* format;
        std::u16string first, second;
    };
    const Case cases[] = {
        {u"Y", u"2000", u"2024"},
        {u"y", u"00", u"24"},
        {u"N", u"12", u"03"},
        {u"n", u"12", u" 3"},
        {u"D", u"31", u"05"},
        {u"d", u"31", u" 5"},
        {u"H", u"23", u"09"},
        {u"h", u"23", u" 9"},
        {u"U", u"11", u"09"},
        {u"u", u"11", u" 9"},
        {u"T", u"\u5348\u5F8C", u"\u5348\u524D"},
        {u"t", u"pm", u"am"},
        {u"M", u"59", u"07"},
        {u"m", u"59", u" 7"},
        {u"S", u"59", u"04"},
        {u"s", u"59", u" 4"},
        {u"I", u"007", u"000"},
        {u"W", u"\u65E5", u"\u706B"},
        {u"w", u"Sun", u"Tue"},
        {u"g", u"H12", u"R06"},
        {u"G", u"\u5E73\u621012", u"\u4EE4\u548C06"},
        {u"jS", u"S75", u"S99"},
        {u"JS", u"\u662D\u548C75", u"\u662D\u548C99"},
        {u"Y-N-D H:M:S", u"2000-12-31 23:59:59", u"2024-03-05 09:07:04"},
        {u"y/n/d h:m:s", u"00/12/31 23:59:59", u"24/ 3/ 5  9: 7: 4"},
        {u"Y\u5E74N\u6708D\u65E5", u"2000\u5E7412\u670831\u65E5", u"2024\u5E7403\u670805\u65E5"},
        {u"%\\ xZe\uFF39", u"%\\ xZe\uFF39", u"%\\ xZe\uFF39"},
        {u"jY", u"?2000", u"?2024"},
        {u"jR", u"R-18", u"R06"},
        {u"jjJ", u"?2000", u"?2024"}, // the second j is the first one's era letter
        {u"abcj", u"abc", u"abc"},
        {u"abcJ", u"abc", u"abc"},
        {u"jHx", u"H12x", u"H36x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.first, Format(c.format, &END_OF_2000)) << Narrow(c.format);
        EXPECT_EQ(c.second, Format(c.format, &MARCH_2024)) << Narrow(c.format);
    }
    EXPECT_EQ(0u, fake::Count("GetLocalTime"));
}

TEST_F(FormatTest, TwelveHourClockAroundNoonAndMidnight) {
    struct Case {
        uint16_t hour;
        std::u16string expected;
    };
    const Case cases[] = {
        {0, u"00| 0|am|\u5348\u524D"},
        {11, u"11|11|am|\u5348\u524D"},
        {12, u"00| 0|pm|\u5348\u5F8C"},
        {23, u"11|11|pm|\u5348\u5F8C"},
    };
    for (const Case& c : cases) {
        os::SYSTEMTIME t{2024, 3, 2, 5, c.hour, 30, 0, 0};
        EXPECT_EQ(c.expected, Format(u"U|u|t|T", &t)) << c.hour;
    }
}

TEST_F(FormatTest, LongYearsLoseTheirLeadingDigits) {
    os::SYSTEMTIME t{12345, 1, 0, 2, 3, 4, 5, 6};
    EXPECT_EQ(u"2345 45", Format(u"Y y", &t));
}

TEST_F(FormatTest, AbsentOrEmptyFormatIsYND) {
    EXPECT_EQ(u"20001231", Format(nullptr, &END_OF_2000));
    EXPECT_EQ(u"20001231", Format(u"", &END_OF_2000));
}

TEST_F(FormatTest, TheClockIsReadOncePerCall) {
    fake::State().localTime = MARCH_2024;
    EXPECT_EQ(u"20240305 09:07:04 R06 Tue", Format(u"YND H:M:S g w", nullptr));
    EXPECT_EQ(1u, fake::Count("GetLocalTime"));
    EXPECT_EQ(u"20240305", Format(nullptr, nullptr));
    EXPECT_EQ(2u, fake::Count("GetLocalTime"));
}

TEST_F(FormatTest, OutputIsCutAtTheEndOfTheBuffer) {
    struct Case {
        std::u16string format;
        size_t room;
        std::u16string expected;
    };
    const Case cases[] = {
        {std::u16string(1022, u'x') + u"G", 1024, std::u16string(1022, u'x') + u"\u5E73"},
        {std::u16string(1022, u'x') + u"JS", 1024, std::u16string(1022, u'x') + u"\u662D"},
        {std::u16string(1023, u'x') + u"g", 1024, std::u16string(1023, u'x')},
        {u"YND", 5, u"2000"},
        {u"YND", 1, u""},
        {u"w", 3, u"Su"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, Format(c.format.c_str(), &END_OF_2000, c.room)) << c.room;
}

TEST_F(FormatTest, AWeekdayOutOfRangeWritesNothing) {
    os::SYSTEMTIME t = END_OF_2000;
    t.wDayOfWeek = 7;
    EXPECT_EQ(u"[][]", Format(u"[w][W]", &t));
}

} // namespace
