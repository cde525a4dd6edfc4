// murlin-host's settings file: its text form and its rewrite.
#include "host/host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
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
    };
    std::string text = Settings::Serialize(values);
    EXPECT_EQ(values, Settings::Parse(text));
    // One setting a line, readable.
    EXPECT_NE(std::string::npos, text.find("\n_User:menu=3\n")) << text;
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
    auto dir = std::filesystem::temp_directory_path() /
               ("murlin-host-settings-unit-" + std::to_string(std::random_device()()));
    std::filesystem::remove_all(dir);
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
    EXPECT_EQ(Settings::Serialize({{u"a", u"3"}, {u"b", u"2"}}), Contents(file));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "deeper")) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(2u, entries); // the file and the old leftover
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace murlin_host
