// murlin-host's command language: splitting, expansion order, commands and
// the host's own setting names, against a recording dispatcher.
#include "host/host.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace murlin_host {
namespace {

std::string Show(const std::vector<std::u16string>& params) {
    std::string text = std::to_string(params.size()) + ":";
    for (const auto& p : params)
        text += "[" + ToUtf8(p) + "]";
    return text;
}

TEST(HostText, ReadsAndWritesUtf8AsTheModuleDoes) {
    EXPECT_EQ(u"\uFFFD\uFFFD", FromUtf8("\xE0\x80\x80"));
    EXPECT_EQ(u"a\u00E9\U0001F600", FromUtf8("a\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ("\xEF\xBF\xBDz", ToUtf8(u"\xD800z"));
}

TEST(HostText, ALineReadsTheSameWhetherALineEndFollowsOrNot) {
    // A sequence cut short at the end of the input swallows what is left, so
    // each line is decoded on its own.
    const std::vector<std::u16string> want = {u"k=\uFFFD", u"x"};
    EXPECT_EQ(std::vector<std::u16string>({u"k=\uFFFD"}), SplitLines("k=\xEE="));
    EXPECT_EQ(std::vector<std::u16string>({u"k=\uFFFD"}), SplitLines("\xEF\xBB\xBFk=\xEE=\r\n"));
    EXPECT_EQ(want, SplitLines("k=\xEE=\nx"));
}

TEST(HostSplitParams, QuotesParenthesesAndNothingTrimmed) {
    const struct {
        const char16_t* text;
        const char* params;
    } cases[] = {
        {u"", "0:"},
        {u"abc", "1:[abc]"},
        {u"a,b", "2:[a][b]"},
        {u",", "2:[][]"},
        {u" a , b ", "2:[ a ][ b ]"},
        {u"\"a,b\",c", "2:[a,b][c]"},
        {u"\"say \"\"hi\"\"\",x", "2:[say \"hi\"][x]"},
        {u"\"\"", "1:[]"},
        {u"\"\"\"\"", "1:[\"]"},
        {u"ab\"c,d\"e", "1:[abc,de]"},
        {u"f(a,b),c", "2:[f(a,b)][c]"},
        {u"((a,b),c),d", "2:[((a,b),c)][d]"},
        {u"\"(\",a", "2:[(][a]"},
        {u"a),b", "2:[a)][b]"},
        {u"\u65e5\u672c,\u8a9e", "2:[\xe6\x97\xa5\xe6\x9c\xac][\xe8\xaa\x9e]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.params, Show(SplitParams(c.text))) << ToUtf8(c.text);
}

TEST(HostParseCommand, StarAndNameAtTheStart) {
    std::u16string name, params;
    ASSERT_TRUE(ParseCommand(u"*RotateExecute menu,\"a\",b ", &name, &params));
    EXPECT_EQ(u"RotateExecute", name);
    EXPECT_EQ(u"menu,\"a\",b ", params);
    ASSERT_TRUE(ParseCommand(u"  *stdout", &name, &params));
    EXPECT_EQ(u"stdout", name);
    EXPECT_EQ(u"", params);
    EXPECT_FALSE(ParseCommand(u"x *stdout a", &name, &params));
    EXPECT_FALSE(ParseCommand(u"* item", &name, &params));
    EXPECT_FALSE(ParseCommand(u"%*leftstr(a,1)", &name, &params));
}

const std::string F = std::to_string(MODCALL_FUNCTION) + " ";
const std::string C = std::to_string(MODCALL_COMMAND) + " ";

class HostInterpreterTest : public ::testing::Test {
  protected:
    void SetUp() override { settings = std::make_unique<Settings>(dir / "settings.ini"); }

    // Functions answer with their name and parameters, lower case; UNKNOWN
    // is served by no one and FAIL fails.
    Interpreter Make() {
        return Interpreter(
            [this](int32_t kind, const std::u16string& name,
                   const std::vector<std::u16string>& params, std::u16string* value) -> int32_t {
                calls.push_back(std::to_string(kind) + " " + ToUtf8(name) + " " + Show(params));
                if (name == u"UNKNOWN") return 0;
                if (name == u"FAIL") return -1;
                *value = u"<" + name + u" " + FromUtf8(Show(params)) + u">";
                return 1;
            },
            [this](const std::u16string& text) { out += ToUtf8(text); },
            [this](const std::u16string& text) { err += ToUtf8(text); }, settings.get());
    }

    TempFolder dir{"murlin-host-unit"};
    std::unique_ptr<Settings> settings;
    std::vector<std::string> calls; // kind, name and parameters
    std::string out, err;
};

TEST_F(HostInterpreterTest, FunctionsExpandInnermostFirstWhereverTheyStand) {
    Interpreter lines = Make();
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"a %*Outer(x,%*inner(\"1,2\"),%*Inner2()) b"));
    // The inner values stand in the outer text before it is split: the comma
    // in the first one splits it.
    EXPECT_EQ((std::vector<std::string>{F + "INNER 1:[1,2]", F + "INNER2 0:",
                                        F + "OUTER 4:[x][<INNER 1:[1][2]>][<INNER2 0:>]"}),
              calls);
    EXPECT_EQ("a <OUTER 4:[x][<INNER 1:[1][2]>][<INNER2 0:>]> b\n", out);
}

TEST_F(HostInterpreterTest, PercentSignsAndTextAroundFunctions) {
    Interpreter lines = Make();
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"100%% %*x %% 5% %*"));
    EXPECT_EQ("100% <X 0:> % 5% %*\n", out);
    out.clear();
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"%%*leftstr(a,1)"));
    EXPECT_EQ("%*leftstr(a,1)\n", out);
    EXPECT_EQ(1u, calls.size());
}

TEST_F(HostInterpreterTest, CommandsTakeTheirExpandedParameters) {
    Interpreter lines = Make();
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"*RotateExecute menu,\"%*f(a)\",\"b,c\""));
    EXPECT_EQ(
        (std::vector<std::string>{F + "F 1:[a]", C + "ROTATEEXECUTE 3:[menu][<F 1:[a]>][b,c]"}),
        calls);
    EXPECT_EQ("", out);
}

TEST_F(HostInterpreterTest, StatusesOfUnservedAndFailedNames) {
    Interpreter lines = Make();
    EXPECT_EQ(STATUS_NOT_SERVED, lines.RunLine(u"x %*unknown(1) y"));
    EXPECT_NE(std::string::npos, err.find("%*UNKNOWN")) << err;
    EXPECT_EQ(STATUS_NOT_SERVED, lines.RunLine(u"*unknown"));
    EXPECT_NE(std::string::npos, err.find("*UNKNOWN")) << err;
    EXPECT_EQ(STATUS_FAILED, lines.RunLine(u"%*fail()"));
    EXPECT_EQ(STATUS_FAILED, lines.RunLine(u"%*f(a"));
    EXPECT_EQ("", out);
}

TEST_F(HostInterpreterTest, HostSettingsComeBeforeTheModules) {
    Interpreter lines = Make();
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"[%*getcust(_User:menu)]"));
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"*SetCust _User:menu=2"));
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"*customize K= a,b "));
    EXPECT_EQ(STATUS_OK, lines.RunLine(u"[%*getcust(_User:menu)][%*GETCUST(\"K\")]"));
    EXPECT_EQ("[]\n[2][ a,b ]\n", out);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(STATUS_FAILED, lines.RunLine(u"*setcust novalue"));
    EXPECT_EQ(STATUS_FAILED, lines.RunLine(u"%*getcust(a,b)"));

    Settings again(dir / "settings.ini");
    std::string error;
    ASSERT_TRUE(again.Load(&error)) << error;
    EXPECT_EQ(u"2", again.Get(u"_User:menu"));
    EXPECT_EQ(u" a,b ", again.Get(u"K"));
}

} // namespace
} // namespace murlin_host
