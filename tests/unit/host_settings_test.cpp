// murlin-host's settings file: its text form and its rewrite.
#include "host/host.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace murlin_host {
namespace {

TEST(HostSettingsFile, EveryNameAndValueSurvivesTheTextForm) {
    std::map<std::u16string, std::u16string> values = {
        {u"_User:menu", u"3"},
        {u"K", u""},
        {u"odd=name\\", u"a=b\\n\r\nc ; d"},
        {u" spaced ", u"  both ends  "},
        {u"\u65e5\u672c", u"\u8a9e\U0001F600"},
        // Names that begin as a comment or a section line does.
        {u";semi", u"1"},
        {u"#hash", u"2"},
        {u"[section]", u"3"},
    };
    std::string text;
    for (const auto& entry : values)
        text = Settings::Rewrite(text, entry.first, entry.second);
    EXPECT_EQ(values, Settings::Parse(text));
    // One setting a line, readable.
    EXPECT_NE(std::string::npos, text.find("\n_User:menu=3\n")) << text;
}

TEST(HostSettingsFile, ARewriteChangesOneLineAndKeepsEveryOtherByte) {
    struct Case {
        std::string before;
        const char16_t* name;
        const char16_t* value;
        std::string after;
    };
    const Case cases[] = {
        // Comments, sections, lines without '=', unknown lines, blank lines
        // and CR LF ends stay; only the line that sets the name changes.
        {"; mine\r\n[section]\r\nnoequals\r\n\r\na=1\r\n# more\r\n", u"a", u"2",
         "; mine\r\n[section]\r\nnoequals\r\n\r\na=2\r\n# more\r\n"},
        // Bytes that are not UTF-8 stay as they were, on other lines and in
        // the value of another setting.
        {"\xFF\xFE junk\nb=\xE9t\xE9\na=1\n", u"a", u"x", "\xFF\xFE junk\nb=\xE9t\xE9\na=x\n"},
        // The last line that sets a name is the one in force, and the one changed.
        {"a=1\na=2\n", u"a", u"3", "a=1\na=3\n"},
        // A new name goes at the end, after a line end of the file's kind.
        {"; c\r\nz=1", u"a", u"2", "; c\r\nz=1\r\na=2\r\n"},
        // A last CR is a line end, not part of z's value, and stays one.
        {"z=1\r", u"a", u"2", "z=1\r\na=2\n"},
        {"\xEF\xBB\xBF; c\n", u"a", u"=\\", "\xEF\xBB\xBF; c\na==\\\\\n"},
        // The byte order mark stays in front of a first line that changes.
        {"\xEF\xBB\xBFz=1\n", u"z", u"2", "\xEF\xBB\xBFz=2\n"},
        // Escaped names are matched by what they stand for.
        {"x\\=y=1\n", u"x=y", u"2", "x\\=y=2\n"},
    };
    for (const Case& c : cases) {
        std::string after = Settings::Rewrite(c.before, c.name, c.value);
        EXPECT_EQ(c.after, after) << c.before;
        auto values = Settings::Parse(after);
        EXPECT_EQ(c.value, values[c.name]) << c.before;
        values.erase(c.name);
        auto others = Settings::Parse(c.before);
        others.erase(c.name);
        EXPECT_EQ(others, values) << c.before;
    }
}

TEST(HostSettingsFile, ReadsWhatPeopleWrite) {
    auto values =
        Settings::Parse("\xEF\xBB\xBF; comment\r\n[section]\r\na=1\r\n\r\nb=x=y\nnoequals\n=v\n");
    std::map<std::u16string, std::u16string> expected = {{u"a", u"1"}, {u"b", u"x=y"}};
    EXPECT_EQ(expected, values);
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HostSettingsFile, RewriteReplacesTheFileAndLeavesNoTemporaryFile) {
    TempFolder dir("murlin-host-settings-unit");
    auto file = dir / "deeper" / "settings.ini";
    std::string error;
    {
        Settings settings(file);
        ASSERT_TRUE(settings.Load(&error)) << error; // missing: empty
        EXPECT_EQ(u"", settings.Get(u"a"));
        ASSERT_TRUE(settings.Set(u"a", u"1", &error)) << error;
        ASSERT_TRUE(settings.Set(u"b", u"2", &error)) << error;
    }
    // A temporary file left by a crash beside it changes nothing.
    std::ofstream(dir / "deeper" / "settings.ini.12345.tmp") << "a=half";
    Settings settings(file);
    ASSERT_TRUE(settings.Load(&error)) << error;
    EXPECT_EQ(u"1", settings.Get(u"a"));
    EXPECT_EQ(u"2", settings.Get(u"b"));
    ASSERT_TRUE(settings.Set(u"a", u"3", &error)) << error;
    std::string text = Contents(file);
    EXPECT_NE(std::string::npos, text.find("\na=3\nb=2\n")) << text;
    // The file, its lock file and the old leftover.
    EXPECT_EQ(3, std::distance(std::filesystem::directory_iterator(dir / "deeper"), {}));
}

} // namespace
} // namespace murlin_host
