#include "module/handlers.h"
#include "platform/testing/fake_platform.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

constexpr intptr_t OUT = -11;
constexpr intptr_t ERR = -12;
using Params = std::vector<std::u16string>;

class StdOutTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }

    int32_t Run(const std::u16string& name, std::vector<std::u16string> params) {
        TestCall call(name, params);
        int32_t result = RunCall(host, call, MODCALL_COMMAND);
        EXPECT_TRUE(call.ResultUntouched());
        return result;
    }
    static std::vector<intptr_t> WriteSizes() { return ArgOfEach(fake::Op::WriteFile, 1); }
    std::string& Out(intptr_t handle = OUT) { return fake::State().written[handle]; }

    TestHost host;
};

TEST_F(StdOutTest, NoParametersShowTheUsageAndWriteNothing) {
    for (const char16_t* name : {u"STDOUT", u"STDERR"}) {
        fake::Reset();
        host.requests.clear();
        EXPECT_EQ(-1, Run(name, {}));
        EXPECT_EQ(
            (HostRequests{{HOSTREQ_MESSAGE, u"*stdxxx [-utf8,[-bom]]\"text\"[,-crlf][,-lf]"}}),
            host.requests);
        EXPECT_EQ(0u, fake::Count("WriteFile"));
    }
}

TEST_F(StdOutTest, OptionWordsAndTextsAreWrittenInOrder) {
    struct Case {
        std::vector<std::u16string> params;
        std::string bytes;
    };
    const Case cases[] = {
        {{u"abc"}, "abc"},
        {{u"-utf8", u"-bom", u"h\u00E9", u"-crlf"}, "\xEF\xBB\xBFh\xC3\xA9\r\n"},
        {{u"-bom", u"\u00E9"}, "\xEF\xBB\xBF\xE9"},
        {{u"\u00E9", u"-utf8", u"\u00E9"}, "\xE9\xC3\xA9"},
        {{u"-UTF8", u"-Lf", u"utf8", u"-crlf ", u"-BOM"}, "-UTF8-Lfutf8-crlf -BOM"},
        {{u"a", u"", u"b", u"-lf"}, "ab\n"},
        {{u"\u4E00"}, "?"},
        {{u"-utf8", u"\U0001F600"}, "\xF0\x9F\x98\x80"},
    };
    for (const Case& c : cases) {
        fake::Reset();
        EXPECT_EQ(1, Run(u"STDOUT", c.params));
        EXPECT_EQ(c.bytes, Out());
        EXPECT_EQ(0u, fake::State().written.count(ERR));
    }
    fake::Reset();
    EXPECT_EQ(1, Run(u"STDERR", {u"-utf8", u"x\u00E9", u"-lf"}));
    EXPECT_EQ("x\xC3\xA9\n", Out(ERR));
    EXPECT_EQ(0u, fake::State().written.count(OUT));
}

// Write sizes as runs: {count, bytes} each.
std::vector<intptr_t> Sizes(std::initializer_list<std::pair<size_t, intptr_t>> runs) {
    std::vector<intptr_t> sizes;
    for (const auto& run : runs)
        sizes.insert(sizes.end(), run.first, run.second);
    return sizes;
}

TEST_F(StdOutTest, LongTextsGoOutInPiecesOf1024Units) {
    struct Case {
        Params params;
        std::vector<intptr_t> writes;
    };
    const Case cases[] = {
        {{std::u16string(4095, u'a')}, {4095}},
        {{std::u16string(4096, u'a')}, {1024, 1024, 1024, 1024}},
        {{std::u16string(5000, u'a')}, {1024, 1024, 1024, 1024, 904}},
        {{u"-utf8", std::u16string(1500, u'\u20AC')}, {3072, 1428}},
        {{u"-utf8", std::u16string(1365, u'\u20AC')}, {4095}},
        // Texts measured a window at a time: pieces run on across windows.
        {{std::u16string(8192, u'a')}, Sizes({{8, 1024}})},
        {{std::u16string(8193, u'a')}, Sizes({{8, 1024}, {1, 1}})},
        {{std::u16string(20000, u'a')}, Sizes({{19, 1024}, {1, 544}})},
        // Every piece that would end on a pair's first half is one unit short.
        {{u"a" + Repeat(u"\U0001F600", 5000)}, Sizes({{1, 1023}, {8, 1024}, {1, 786}})},
    };
    for (const Case& c : cases) {
        fake::Reset();
        Run(u"STDOUT", c.params);
        EXPECT_EQ(c.writes, WriteSizes()) << c.params.back().size();
        EXPECT_EQ(std::accumulate(c.writes.begin(), c.writes.end(), size_t{0}), Out().size());
    }
}

TEST_F(StdOutTest, ASurrogatePairIsNeverSplitBetweenPieces) {
    std::u16string text = std::u16string(1023, u'a') + u"\U0001F600" + std::u16string(3100, u'b');
    for (bool utf8 : {true, false}) {
        fake::Reset();
        Run(u"STDOUT", utf8 ? Params{u"-utf8", text} : Params{text});
        std::string expected =
            std::string(1023, 'a') + (utf8 ? "\xF0\x9F\x98\x80" : "??") + std::string(3100, 'b');
        EXPECT_EQ(expected, Out());
        EXPECT_EQ(1023, WriteSizes().at(0));
    }
}

TEST_F(StdOutTest, ShortWritesAreCompletedWithAFreshHandle) {
    fake::State().writeFile = [](os::HANDLE h, const void* bytes, os::DWORD n, os::DWORD* done) {
        *done = n > 100 ? 100 : n;
        fake::State().written[reinterpret_cast<intptr_t>(h)].append(static_cast<const char*>(bytes),
                                                                    *done);
        return os::BOOL(1);
    };
    std::u16string text(5000, u'z');
    Run(u"STDOUT", {text, u"-crlf"});
    EXPECT_EQ(std::string(5000, 'z') + "\r\n", Out());
    EXPECT_EQ(fake::Count("WriteFile"), fake::Count("GetStdHandle"));
    auto ops = fake::Ops({"GetStdHandle", "WriteFile"});
    for (size_t i = 0; i < ops.size(); i += 2)
        EXPECT_EQ("GetStdHandle", ops[i]);
}

TEST_F(StdOutTest, FailuresEndOnlyTheirOwnText) {
    const std::u16string longText(5000, u'l');
    struct Case {
        const char* op;
        int nth;
        bool keepFailing;
        std::vector<std::u16string> params;
        std::string bytes;
    };
    // A failing write has written half of its bytes.
    const Case cases[] = {
        {"WriteFile", 1, false, {u"first", u"second"}, "fisecond"},
        {"WriteFile", 2, false, {longText, u"second"}, std::string(3976 + 512, 'l') + "second"},
        {"WriteFile", 1, true, {u"first", u"second"}, "fisec"},
        {"GetStdHandle", 1, false, {u"first", u"second"}, "second"},
        // The whole conversion fails, then a piece: the rest of the text is dropped.
        {"WideCharToMultiByte", 2, false, {longText, u"second"}, "second"},
        {"WideCharToMultiByte", 3, false, {longText, u"second"}, std::string(1024, 'l') + "second"},
    };
    for (const Case& c : cases) {
        fake::Reset();
        fake::FailNth(c.op, c.nth, c.keepFailing);
        EXPECT_EQ(1, Run(u"STDOUT", c.params));
        EXPECT_EQ(c.bytes, Out()) << c.op << " " << c.nth;
    }
}

} // namespace
