#include "datetime/era_calendar.h"
#include "platform/testing/fake_platform.h"
#include "tests/support/ascii.h"
#include "tests/support/era_boundary_hook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

os::SYSTEMTIME Day(uint16_t year, uint16_t month, uint16_t day) {
    return os::SYSTEMTIME{year, month, 0, day, 12, 0, 0, 0};
}

// Runs one writer into a buffer of room units and checks its count.
template <typename Writer> std::u16string Write(Writer writer, size_t room = 64) {
    std::vector<char16_t> buffer(room, 0xAAAA);
    size_t n = writer(BoundedOutputOver(buffer.data(), room));
    std::u16string text(buffer.data(), std::find(buffer.begin(), buffer.end(), 0) - buffer.begin());
    EXPECT_EQ(text.size(), n);
    return text;
}

std::u16string Era(const os::SYSTEMTIME& date, EraForm form) {
    return Write([&](BoundedOutput out) { return FormatEraForDate(date, out, form); });
}

std::u16string ByLetter(const os::SYSTEMTIME& date, EraForm form, char16_t letter) {
    return Write([&](BoundedOutput out) { return FormatEraByLetter(date, out, form, letter); });
}

const std::vector<fake::RegistryValue> TABLE_ERAS = {
    {u"1868 01 01", u"\u660E\u6CBB_\u660E_Meiji_M"},
    {u"1912 07 30", u"\u5927\u6B63_\u5927_Taisho_T"},
    {u"1926 12 25", u"\u662D\u548C_\u662D_Showa_S"},
    {u"1989 01 08", u"\u5E73\u6210_\u5E73_Heisei_H"},
    {u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
};
const fake::RegistryValue ERA_2030 = {u"2030 01 01", u"\u5149\u660E_\u5149_Komei_K"};
// 2031-06-15 in the table's last era and in the one of 2030.
const std::u16string REIWA_13 = u"\u4EE4\u548C13", KOMEI_02 = u"\u5149\u660E02";

class EraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake::Reset();
        ForgetEraBoundary();
    }
    void TearDown() override { ForgetEraBoundary(); }
    void Registry(std::vector<fake::RegistryValue> values) {
        fake::State().registryValues = std::move(values);
    }
};

struct TableCase {
    os::SYSTEMTIME date;
    std::u16string letter, name;
};

TEST_F(EraTest, TableBoundariesWithAndWithoutARegistryList) {
    const TableCase cases[] = {
        {Day(1867, 12, 31), u"?1867", u"\u897F1867"},
        {Day(1868, 1, 1), u"M01", u"\u660E\u6CBB01"},
        {Day(1912, 7, 29), u"M45", u"\u660E\u6CBB45"},
        {Day(1912, 7, 30), u"T01", u"\u5927\u6B6301"},
        {Day(1926, 12, 24), u"T15", u"\u5927\u6B6315"},
        {Day(1926, 12, 25), u"S01", u"\u662D\u548C01"},
        {Day(1989, 1, 7), u"S64", u"\u662D\u548C64"},
        {Day(1989, 1, 8), u"H01", u"\u5E73\u621001"},
        {Day(2019, 4, 30), u"H31", u"\u5E73\u621031"},
        {Day(2019, 5, 1), u"R01", u"\u4EE4\u548C01"},
        {Day(2024, 3, 5), u"R06", u"\u4EE4\u548C06"},
        {Day(9999, 12, 31), u"R7981", u"\u4EE4\u548C7981"},
    };
    for (bool withList : {false, true}) {
        SetUp();
        if (withList)
            Registry(TABLE_ERAS);
        else
            fake::FailNth("RegOpenKeyExW", 1, true); // no key at all
        for (const TableCase& c : cases) {
            EXPECT_EQ(c.letter, Era(c.date, ERA_LETTER_FORM)) << Narrow(c.letter) << withList;
            EXPECT_EQ(c.name, Era(c.date, ERA_NAME_FORM)) << Narrow(c.letter) << withList;
        }
        EXPECT_EQ(ERA_BOUNDARY_NONE, CurrentEraBoundary());
        EXPECT_EQ(withList ? 1u : 0u, fake::Count("RegCloseKey"));
    }
}

TEST_F(EraTest, ExplicitLettersIgnoreTheDatesOwnEra) {
    struct Case {
        os::SYSTEMTIME date;
        EraForm form;
        char16_t letter;
        std::u16string expected;
    };
    const os::SYSTEMTIME d = Day(2000, 12, 31);
    const Case cases[] = {
        {d, ERA_LETTER_FORM, u'H', u"H12"},
        {d, ERA_LETTER_FORM, u'S', u"S75"},
        {d, ERA_NAME_FORM, u'M', u"\u660E\u6CBB133"},
        {d, ERA_LETTER_FORM, u'R', u"R-18"},
        {d, ERA_NAME_FORM, u'R', u"\u4EE4\u548C-18"},
        {d, ERA_LETTER_FORM, u'x', u"?2000"},
        {d, ERA_LETTER_FORM, u'r', u"?2000"},
        {d, ERA_LETTER_FORM, u'?', u"?2000"},
        {d, ERA_NAME_FORM, u'?', u"\u897F2000"},
        {d, ERA_LETTER_FORM, 0xFF32, u"?2000"}, // a full-width R
        {Day(2019, 5, 1), ERA_LETTER_FORM, u'H', u"H31"},
        {Day(2018, 1, 1), ERA_LETTER_FORM, u'R', u"R00"},
        {Day(2017, 1, 1), ERA_LETTER_FORM, u'R', u"R-1"},
    };
    Registry({ERA_2030});
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, ByLetter(c.date, c.form, c.letter)) << Narrow(c.expected);
    EXPECT_EQ(0u, fake::Count("RegOpenKeyExW")); // j and J never read the list
}

TEST_F(EraTest, AnEraAfter2019ComesFromTheRegistryList) {
    std::vector<fake::RegistryValue> ascending = TABLE_ERAS;
    ascending.push_back(ERA_2030);
    Registry(ascending);
    EXPECT_EQ(u"R11", Era(Day(2029, 12, 31), ERA_LETTER_FORM));
    EXPECT_EQ(20300101u, CurrentEraBoundary());
    EXPECT_EQ(u"K01", Era(Day(2030, 1, 1), ERA_LETTER_FORM));
    EXPECT_EQ(u"\u5149\u660E01", Era(Day(2030, 1, 1), ERA_NAME_FORM));
    EXPECT_EQ(u"K02", Era(Day(2031, 6, 15), ERA_LETTER_FORM));
    EXPECT_EQ(KOMEI_02, Era(Day(2031, 6, 15), ERA_NAME_FORM));
    // j and J know only the table.
    EXPECT_EQ(u"R13", ByLetter(Day(2031, 6, 15), ERA_LETTER_FORM, u'R'));
    EXPECT_EQ(u"?2031", ByLetter(Day(2031, 6, 15), ERA_LETTER_FORM, u'K'));

    // The key was opened by the one scan and once per registry era, each
    // time with the arguments Windows expects, and always closed.
    EXPECT_EQ(5u, fake::Count("RegOpenKeyExW"));
    EXPECT_EQ("", fake::StillOpen());
    for (const fake::Call& call : fake::State().calls) {
        if (call.op == fake::Op::RegOpenKeyExW) {
            EXPECT_EQ(std::u16string(os::JAPANESE_ERAS_KEY), call.text);
            EXPECT_EQ(reinterpret_cast<intptr_t>(os::HkeyLocalMachine()), call.args[0]);
            EXPECT_EQ(static_cast<intptr_t>(os::KEY_READ), call.args[2]);
        } else if (call.op == fake::Op::RegEnumValueW) {
            EXPECT_EQ(260, call.args[2]); // name units
            EXPECT_EQ(260, call.args[4]); // data bytes
        }
    }
}

TEST_F(EraTest, TheLastMatchInEnumerationOrderDecides) {
    std::vector<fake::RegistryValue> values = {TABLE_ERAS[0], TABLE_ERAS[1], TABLE_ERAS[2],
                                               TABLE_ERAS[3], ERA_2030,      TABLE_ERAS[4]};
    Registry(values);
    EXPECT_EQ(u"R13", Era(Day(2031, 6, 15), ERA_LETTER_FORM));
    EXPECT_EQ(REIWA_13, Era(Day(2031, 6, 15), ERA_NAME_FORM));
    EXPECT_EQ(20300101u, CurrentEraBoundary());
}

TEST_F(EraTest, TheBoundaryIsScannedOnceAndKeptWhenTheKeyIsGone) {
    Registry({ERA_2030});
    EXPECT_EQ(u"K01", Era(Day(2030, 1, 1), ERA_LETTER_FORM));
    // The key is gone for the next three opens: two registry eras and a scan.
    int gone = static_cast<int>(fake::Count("RegOpenKeyExW")) + 1;
    fake::FailCalls(fake::Op::RegOpenKeyExW, gone, gone + 2);
    EXPECT_EQ(u"", Era(Day(2031, 6, 15), ERA_LETTER_FORM));
    EXPECT_EQ(u"", Era(Day(2031, 6, 15), ERA_NAME_FORM));
    EXPECT_EQ(u"R11", Era(Day(2029, 12, 31), ERA_LETTER_FORM));
    EXPECT_EQ(20300101u, CurrentEraBoundary());

    // A list that appears after the scan is not seen until the boundary is
    // scanned anew.
    ForgetEraBoundary();
    EXPECT_EQ(u"R12", Era(Day(2030, 1, 1), ERA_LETTER_FORM));
    EXPECT_EQ(u"R12", Era(Day(2030, 1, 1), ERA_LETTER_FORM));
    EXPECT_EQ(static_cast<size_t>(gone + 2), fake::Count("RegOpenKeyExW"));
    EXPECT_EQ(ERA_BOUNDARY_NONE, CurrentEraBoundary());
}

struct OddListCase {
    const char* what;
    std::vector<fake::RegistryValue> values;
    uint32_t boundary;
    std::u16string letter, name; // on 2031-06-15
};

TEST_F(EraTest, ShortAndMalformedValuesNeverOverrun) {
    const std::u16string longData(200, u'x'); // 402 bytes: more than the buffer holds
    constexpr uint32_t NONE = ERA_BOUNDARY_NONE, K2030 = 20300101u;
    const OddListCase cases[] = {
        {"placeholder before 2019", {{u"2019 05 01", u"??_?_??????_?"}}, NONE, u"R13", REIWA_13},
        {"placeholder last", {ERA_2030, {u"2019 05 01", u"??_?_??????_?"}}, K2030, u"?13", u"??13"},
        {"data of five units", {{u"2030 01 01", u"ab_cd"}}, K2030, u"?02", u"ab02"},
        {"data of one unit", {{u"2030 01 01", u"X"}}, K2030, u"?02", u"X02"},
        {"empty data", {{u"2030 01 01", u""}}, K2030, u"?02", u"02"},
        {"name without day", {{u"2030 01", u"ab_cd_Kk_K"}}, NONE, u"R13", REIWA_13},
        {"year only", {{u"2030", u"ab_cd_Kk_K"}}, NONE, u"R13", REIWA_13},
        {"no digits", {{u"year", u"ab_cd_Kk_K"}, {u"", u"ab"}}, NONE, u"R13", REIWA_13},
        {"other separators", {{u"2030-01-01", u"ab_c_Kx_K"}}, K2030, u"K02", u"ab02"},
        {"malformed name between", {ERA_2030, {u"2019 05", u"zz_z_Zz_Z"}}, K2030, u"K02", KOMEI_02},
        {"oversized data ends the list",
         {{u"2029 01 01", longData}, ERA_2030},
         NONE,
         u"R13",
         REIWA_13},
        {"oversized name ends the list",
         {{std::u16string(u"2030 01 01") + std::u16string(300, u' '), u"ab_cd_Kk_K"}, ERA_2030},
         NONE,
         u"R13",
         REIWA_13},
        {"earliest era after 2019 wins",
         {{u"2040 02 03", u"ab_cd_Xx_X"}, ERA_2030},
         K2030,
         u"K02",
         KOMEI_02},
        {"huge year",
         {{u"4294967295 99 99", u"ab_cd_Xx_X"}},
         4294967295u * 10000u + 9999u,
         u"R13",
         REIWA_13},
    };
    for (const OddListCase& c : cases) {
        SetUp();
        Registry(c.values);
        EXPECT_EQ(c.letter, Era(Day(2031, 6, 15), ERA_LETTER_FORM)) << c.what;
        EXPECT_EQ(c.name, Era(Day(2031, 6, 15), ERA_NAME_FORM)) << c.what;
        EXPECT_EQ(c.boundary, CurrentEraBoundary()) << c.what;
        EXPECT_EQ("", fake::StillOpen()) << c.what;
    }
}

} // namespace
