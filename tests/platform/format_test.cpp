// The formats the module writes with wsprintfW, checked against the backend
// of this build: the real USER32 under Wine, our own formatter natively.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string A(const char16_t* s) {
    std::string out;
    for (; *s; ++s)
        out += *s < 0x80 ? static_cast<char>(*s) : '?';
    return out;
}

TEST(Wsprintf, WritesTheModulesFormats) {
    char16_t b[1100];
    struct Case {
        int32_t written;
        std::u16string expected;
    };
    const Case cases[] = {
        {os::wsprintfW(b, u"%04d", 2000), u"2000"},
        {os::wsprintfW(b, u"%04d", 12345), u"12345"},
        {os::wsprintfW(b, u"%02d", 5), u"05"},
        {os::wsprintfW(b, u"%02d", -18), u"-18"},
        {os::wsprintfW(b, u"%02d", -5), u"-5"},
        {os::wsprintfW(b, u"%2d", 3), u" 3"},
        {os::wsprintfW(b, u"%03d", 7), u"007"},
        {os::wsprintfW(b, u"%0d.%02d(%d %s)", 6, 1, 7601, u"Service Pack 1"),
         u"6.01(7601 Service Pack 1)"},
        {os::wsprintfW(b, u"%04X-%04X", 0x1A2B, 0x3C4D), u"1A2B-3C4D"},
        {os::wsprintfW(b, u"%04X-%04X", 0x0, 0xab), u"0000-00AB"},
        {os::wsprintfW(b, u"%c:\\", u'C'), u"C:\\"},
        {os::wsprintfW(b, u"%c%02d", u'R', 6), u"R06"},
        {os::wsprintfW(b, u"%s%02d", u"\u4EE4\u548C", 6), u"\u4EE4\u548C06"},
        {os::wsprintfW(b, u"%%*getcust(_User:%s)", u"menu"), u"%*getcust(_User:menu)"},
        {os::wsprintfW(b, u"*setcust _User:%s=%d", u"menu", 3), u"*setcust _User:menu=3"},
        {os::wsprintfW(b, u"%d.%02d+%d", 1, 18, 3), u"1.18+3"},
        {os::wsprintfW(b, u"%d", -2147483647 - 1), u"-2147483648"},
    };
    for (const Case& c : cases) {
        // Each call overwrote b; compare what each returned against its own text length.
        EXPECT_EQ(static_cast<int32_t>(c.expected.size()), c.written) << A(c.expected.c_str());
    }
    os::wsprintfW(b, u"%s=%d", u"k", 42);
    EXPECT_EQ(std::u16string(u"k=42"), std::u16string(b));
}

TEST(Wsprintf, EachFormatGivesItsText) {
    char16_t b[1100];
    os::wsprintfW(b, u"%04d|%02d|%2d|%03d|%0d", 12345, -18, 3, 7, 6);
    EXPECT_EQ(std::u16string(u"12345|-18| 3|007|6"), std::u16string(b));
    os::wsprintfW(b, u"%04X-%04X|%c|%s", 0x1A2B, 0xab, u'x', u"\u5348\u524D");
    EXPECT_EQ(std::u16string(u"1A2B-00AB|x|\u5348\u524D"), std::u16string(b));
}

TEST(Wsprintf, AShortDecimalAloneEqualsItsTextInALongerFormat) {
    const char16_t* forms[][2] = {{u"%d", u"%d|"},     {u"%0d", u"%0d|"},   {u"%2d", u"%2d|"},
                                  {u"%02d", u"%02d|"}, {u"%03d", u"%03d|"}, {u"%04d", u"%04d|"},
                                  {u"%9d", u"%9d|"},   {u"%09d", u"%09d|"}};
    const int32_t values[] = {
        0, 5, -5, 9, 10, 42, 99, 100, -18, 999, 12345, -2147483647 - 1, 2147483647};
    for (const auto& form : forms) {
        for (int32_t value : values) {
            char16_t alone[64], longer[64];
            int32_t n = os::wsprintfW(alone, form[0], value);
            int32_t m = os::wsprintfW(longer, form[1], value);
            EXPECT_EQ(n + 1, m) << A(form[0]) << " " << value;
            EXPECT_EQ(std::u16string(alone) + u"|", std::u16string(longer))
                << A(form[0]) << " " << value;
        }
    }
}

TEST(Wsprintf, StopsAt1023UnitsAndANul) {
    std::u16string longText(2000, u'x');
    char16_t b[1100];
    for (auto& u : b)
        u = 0x7777;
    int32_t written = os::wsprintfW(b, u"*customize %s=%s", longText.c_str(), u"v");
    EXPECT_EQ(1023, written);
    EXPECT_EQ(0, b[1023]);
    EXPECT_EQ(0x7777, b[1024]);
}

} // namespace
