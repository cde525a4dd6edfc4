// The stand-ins' code page converter against the results of the Windows
// builds. In the Windows builds the same cases also run through the real
// converter, and every short input is compared with it.
#include "platform/win32_emulation/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr uint32_t UTF8 = 65001;
constexpr uint32_t ANSI = 0;

// Converts count units (-1: up to and with the NUL) into room; the result
// holds what the converter said it wrote (room 0: as many #), or "fail" when
// it returned 0.
std::u16string Decode(uint32_t codePage, const std::string& bytes, int32_t room = 64,
                      int32_t count = -2) {
    std::vector<char16_t> out(static_cast<size_t>(room) + 1, u'#');
    int32_t n = DecodeBytes(codePage, bytes.data(), count == -2 ? int32_t(bytes.size()) : count,
                            out.data(), room);
    if (room == 0) return n == 0 ? u"fail" : std::u16string(static_cast<size_t>(n), u'#');
    return n == 0 ? u"fail" : std::u16string(out.data(), static_cast<size_t>(n));
}

std::string Encode(uint32_t codePage, const std::u16string& text, int32_t room = 64) {
    std::vector<char> out(static_cast<size_t>(room) + 1, '#');
    int32_t n = EncodeWide(codePage, text.data(), int32_t(text.size()), out.data(), room);
    if (room == 0) return n == 0 ? "fail" : std::string(static_cast<size_t>(n), '#');
    return n == 0 ? "fail" : std::string(out.data(), static_cast<size_t>(n));
}

const std::u16string R = u"\uFFFD";

struct DecodeCase {
    std::string bytes;
    std::u16string text;
};

// Invalid UTF-8: a first continuation byte out of its lead's range goes with
// the lead; a sequence cut short by the end takes all that is left.
const DecodeCase UTF8_CASES[] = {
    {"h\xC3\xA9llo \xE2\x82\xAC \xF0\x9F\x98\x80", u"h\u00E9llo \u20AC \U0001F600"},
    {"\xE0\x80\xAF", R + R},
    {"\xED\xA0\x80", R + R},
    {"\xE0\x9F\xBF", R + R},
    {"\xE0\x80\x80", R + R},
    {"\xF4\x90\x80\x80", R + R + R},
    {"\xF0\x80\x80\x80", R + R + R},
    {"\xED\xA0\x80\xED\xB0\x80", R + R + R + R},
    {"\xC0\xAF", R + R},
    {"\xC1\xBF", R + R},
    {"a\x80\xBFz", u"a" + R + R + u"z"},
    {"\xF5\x80\xFF", R + R + R},
    {"\xC3\x41", R + u"A"},
    {"\xF0\x9F\x41\x41", R + u"AA"},
    {"a\xE2\x82", u"a" + R},
    {"a\xF0\x9F\x98", u"a" + R},
    {"\xE0\x41", R},
    {"\xF0\x41\x42", R},
    {std::string(17, 'a') + "\xC3\xA9" + std::string(16, 'b') + "\xE0\x80",
     std::u16string(17, u'a') + u"\u00E9" + std::u16string(16, u'b') + R},
};

TEST(CodePage, Utf8InputIsReadAsTheWindowsBuildsReadIt) {
    for (const DecodeCase& c : UTF8_CASES)
        EXPECT_EQ(c.text, Decode(UTF8, c.bytes)) << testing::PrintToString(c.bytes);
}

TEST(CodePage, AnsiInputIsWindows1252WithC1ControlsInItsHoles) {
    EXPECT_EQ(u"a\u20AC\u0081\u017D\u009D\u0178\u00A0\u00FF",
              Decode(ANSI, "a\x80\x81\x8E\x9D\x9F\xA0\xFF"));
}

struct EncodeCase {
    uint32_t codePage;
    std::u16string text;
    std::string bytes;
};

const EncodeCase ENCODE_CASES[] = {
    {ANSI, u"\u0100\uFF21\u0141\u3042", "AAL?"},
    {ANSI, u"\u20AC\u0081\u00E9\u0178", "\x80\x81\xE9\x9F"},
    {ANSI, u"\U0001F600", "??"},
    {ANSI, std::u16string(17, u'a') + u"\u0141" + std::u16string(16, u'b'),
     std::string(17, 'a') + "L" + std::string(16, 'b')},
    {ANSI, u"\xD83DZ\xDE00", "?Z?"},
    {UTF8, u"\u00E9\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80"},
    {UTF8, u"\xDE00\xD83DZ", "\xEF\xBF\xBD\xEF\xBF\xBDZ"},
};

TEST(CodePage, OutputTakesWindowsBestFitsAndADefaultCharacterAUnit) {
    for (const EncodeCase& c : ENCODE_CASES)
        EXPECT_EQ(c.bytes, Encode(c.codePage, c.text)) << c.codePage << " " << c.bytes;
}

TEST(CodePage, SizesCountsAndShortOutputs) {
    EXPECT_EQ(3, DecodeBytes(UTF8, "a\xC3\xA9z", 4, nullptr, 0));
    EXPECT_EQ(u"fail", Decode(UTF8, "abc", 2));
    EXPECT_EQ(u"fail", Decode(UTF8, std::string(20, 'a'), 19));
    EXPECT_EQ("fail", Encode(ANSI, std::u16string(20, u'a') + u"\u0100", 20));
    EXPECT_EQ(u"fail", Decode(UTF8, "", 8));
    EXPECT_EQ(u"ab" + std::u16string(1, u'\0'), Decode(UTF8, "ab", 8, -1));
    // The NUL of a counted -1 input goes into a sequence cut short.
    EXPECT_EQ(R, Decode(UTF8, "\xF0\x41", 8, -1));
    // The first half of a pair that fills the output is kept when nothing follows.
    EXPECT_EQ(u"\xD83D", Decode(UTF8, "\xF0\x9F\x98\x80", 1));
    EXPECT_EQ(u"fail", Decode(UTF8, "\xF0\x9F\x98\x80z", 2));
    EXPECT_EQ(6, EncodeWide(UTF8, u"\u20AC\u20AC", 2, nullptr, 0));
    EXPECT_EQ("fail", Encode(UTF8, u"\u20AC\u20AC", 5));
    EXPECT_EQ("fail", Encode(ANSI, u"abc", 2));
    bool usedDefault = false;
    char out[8];
    EXPECT_EQ(2, EncodeWide(ANSI, u"\u0100\u3042", 2, out, 8, true, &usedDefault));
    EXPECT_EQ("??", std::string(out, 2));
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(1, EncodeWide(ANSI, u"\u00E9", 1, out, 8, true, &usedDefault));
    EXPECT_FALSE(usedDefault);
}

// Long runs of ASCII, copied many units at once, with one other unit at
// every place: the letters come out in order and the other unit as itself,
// either way.
TEST(CodePage, LongAsciiRunsKeepTheirOrderAroundAnotherUnit) {
    const struct {
        char16_t unit;
        const char* ansi;
        const char* utf8;
    } others[] = {{u'\u00E9', "\xE9", "\xC3\xA9"}, {u'\uFF21', "A", "\xEF\xBC\xA1"}};
    for (size_t length = 1; length <= 300; ++length) {
        std::u16string units(length, u'a');
        std::string bytes(length, 'a');
        for (size_t i = 0; i < length; ++i)
            bytes[i] = units[i] = static_cast<char>('a' + i % 26);
        ASSERT_EQ(bytes, Encode(ANSI, units, 400)) << length;
        ASSERT_EQ(units, Decode(ANSI, bytes, 400)) << length;
        if (length > 1) {
            ASSERT_EQ("fail", Encode(UTF8, units, int32_t(length) - 1)) << length;
        }
        // At lengths of whole rounds of copying, the other unit at every place;
        // elsewhere at every third.
        size_t step = length == 128 || length == 256 || length == 300 ? 1 : 3;
        for (size_t at = 0; at < length; at += step) {
            for (const auto& other : others) {
                std::u16string in = units;
                in[at] = other.unit;
                std::string ansi = bytes, utf8 = bytes;
                ansi.replace(at, 1, other.ansi);
                utf8.replace(at, 1, other.utf8);
                ASSERT_EQ(ansi, Encode(ANSI, in, 400)) << length << " " << at;
                ASSERT_EQ(utf8, Encode(UTF8, in, 400)) << length << " " << at;
                ASSERT_EQ(in, Decode(UTF8, utf8, 400)) << length << " " << at;
            }
        }
    }
}

#ifdef _WIN32

// Under Wine this is the Windows builds' own converter.
std::u16string WindowsDecode(uint32_t codePage, const std::string& bytes, int room = 64) {
    wchar_t out[64];
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), out, room);
    if (room == 0) return n == 0 ? u"fail" : std::u16string(static_cast<size_t>(n), u'#');
    return n == 0 ? u"fail" : std::u16string(out, out + n);
}

std::string WindowsEncode(uint32_t codePage, const std::u16string& text, int room = 64) {
    char out[64];
    int n = ::WideCharToMultiByte(codePage, 0, reinterpret_cast<const wchar_t*>(text.data()),
                                  int(text.size()), out, room, nullptr, nullptr);
    if (room == 0) return n == 0 ? "fail" : std::string(static_cast<size_t>(n), '#');
    return n == 0 ? "fail" : std::string(out, static_cast<size_t>(n));
}

TEST(CodePage, TheCasesHoldForTheWindowsConverter) {
    for (const DecodeCase& c : UTF8_CASES)
        EXPECT_EQ(c.text, WindowsDecode(CP_UTF8, c.bytes)) << testing::PrintToString(c.bytes);
    for (const EncodeCase& c : ENCODE_CASES)
        EXPECT_EQ(c.bytes, WindowsEncode(c.codePage == ANSI ? 1252 : c.codePage, c.text))
            << c.bytes;
}

// Every input of up to two bytes, three-byte inputs whose last two bytes are
// of every kind, and every UTF-16 unit alone.
TEST(CodePage, ShortInputsConvertAsTheWindowsConverterDoes) {
    const unsigned char kinds[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                   0xC0, 0xC2, 0xDF, 0xE0, 0xED, 0xF0, 0xF4, 0xF5, 0xFF};
    std::vector<std::string> inputs;
    for (int a = 0; a < 256; ++a) {
        inputs.push_back(std::string(1, char(a)));
        for (int b = 0; b < 256; ++b) {
            inputs.push_back({char(a), char(b)});
            if (a < 0x80) continue;
            for (unsigned char c : kinds)
                inputs.push_back({char(a), char(b), char(c)});
        }
    }
    int differences = 0;
    for (const std::string& in : inputs)
        for (uint32_t codePage : {UTF8, 1252u})
            if (Decode(codePage, in) != WindowsDecode(codePage, in) && ++differences < 10)
                ADD_FAILURE() << codePage << " " << testing::PrintToString(in);
    for (uint32_t unit = 0; unit < 0x10000; ++unit) {
        std::u16string in(1, char16_t(unit));
        for (uint32_t codePage : {UTF8, 1252u})
            if (Encode(codePage, in) != WindowsEncode(codePage, in) && ++differences < 10)
                ADD_FAILURE() << codePage << " unit " << unit;
    }
    // Runs of ASCII around one other character, into every size of output.
    for (size_t length = 1; length <= 40; ++length) {
        for (size_t at = 0; at <= length; ++at) {
            std::string bytes(length, 'a');
            std::u16string units(length, u'a');
            if (at < length) {
                bytes.replace(at, 1, "\xC3\xA9");
                units[at] = at % 2 == 0 ? u'\u0100' : u'\u0080';
            }
            for (int room = 0; room <= int(length) + 2; ++room) {
                if (Decode(UTF8, bytes, room) != WindowsDecode(UTF8, bytes, room) ||
                    Encode(1252, units, room) != WindowsEncode(1252, units, room) ||
                    Encode(UTF8, units, room) != WindowsEncode(UTF8, units, room))
                    if (++differences < 10) ADD_FAILURE() << length << " " << at << " " << room;
            }
        }
    }
    EXPECT_EQ(0, differences);
}

#endif

} // namespace
