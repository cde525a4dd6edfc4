// FINDDRIVE, CLIPPEDTEXT and VERSION through murlin-host: natively over the
// POSIX stand-ins (MURLIN_DRIVES, MURLIN_CLIPBOARD, uname), under Wine over
// the real drives, clipboard and version.
#include "tests/support/clipboard.h"
#include "tests/support/files.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace {

// A run's exit status and its value.
using Outcome = std::pair<int, std::string>;

// One line through the host; its value without the line end.
Outcome Line(const std::string& line, const ProcessOptions& options = {},
             const std::vector<std::string>& hostOptions = {}) {
    std::vector<std::string> args = hostOptions;
    args.push_back(line);
    ProcessResult r = RunHost(args, options);
    std::string out = r.out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return {r.exitCode, out};
}

TEST(QueriesEndToEnd, FindDriveFallsBackToTheFixedAnswer) {
#if defined(_WIN32)
    ASSERT_EQ(0u, ::GetLogicalDrives() & (1u << ('Q' - 'A'))) << "this test needs no drive Q:";
#endif
    EXPECT_EQ((Outcome{0, "X:"}), Line("%*finddrive(Q:,!X:)"));
    EXPECT_EQ((Outcome{1, ""}), Line("%*finddrive(Q:,NO SUCH LABEL)"));
}

TEST(QueriesEndToEnd, VersionOfTheHost) {
    EXPECT_EQ((Outcome{0, "1.18"}), Line("%*version()"));
    EXPECT_EQ((Outcome{0, "1.18+3"}), Line("%*version(x)", {}, {"--host-version", "11803"}));
    EXPECT_EQ((Outcome{0, "11803"}), Line("%*version(n)", {}, {"--host-version", "11803"}));
}

TEST(QueriesEndToEnd, VersionOfTheSystem) {
    unsigned major = 0, minor = 0, build = 0;
#if defined(_WIN32)
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(::GetVersionExW(&info));
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    build = info.dwBuildNumber;
    std::string servicePack;
    for (const wchar_t* p = info.szCSDVersion; *p != 0; ++p)
        servicePack += static_cast<char>(*p); // ASCII in every release
#else
    utsname names;
    ASSERT_EQ(0, uname(&names));
    std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
    std::string servicePack;
#endif
    char number[16], full[200];
    std::snprintf(number, sizeof number, "%04u", major * 100 + minor);
    std::snprintf(full, sizeof full, "%u.%02u(%u %s)", major, minor, build, servicePack.c_str());
    EXPECT_EQ((Outcome{0, std::to_string(build)}), Line("%*version(b)"));
    EXPECT_EQ((Outcome{0, number}), Line("%*version(o)"));
    EXPECT_EQ((Outcome{0, full}), Line("%*version(win)"));
}

#if !defined(_WIN32)

class NativeQueries : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_ / "d" / "sub");
        std::filesystem::create_directories(folder_ / "e");
    }
    ProcessOptions Drives() const {
        return {{{"MURLIN_DRIVES", "C=/;d=" + dir_ + "/d|DATA|1A2B3C4D;E=" + dir_ +
                                       "/e|SYSTEM;F=" + dir_ + "/gone|GONE"}},
                ""};
    }
    TempFolder folder_{"murlin-queries"};
    const std::string dir_ = folder_.Utf8();
};

TEST_F(NativeQueries, FindDriveOverMappedDirectories) {
    const struct {
        const char* line;
        Outcome expected;
    } cases[] = {
        {"%*finddrive(Q:,DATA,1A2B-3C4D)", {0, "D:"}},
        {"%*finddrive(1A2B-3C4D)", {0, "D:"}},
        {"%*finddrive(SYSTEM,!X:)", {0, "E:"}},
        {"%*finddrive(d:\\sub)", {0, "d:"}},
        {"%*finddrive(D:\\missing,!Z:)", {0, "Z:"}},
        {"%*finddrive(GONE,!Z:)", {0, "Z:"}}, // its directory is missing: unreadable
        {"%*finddrive(system)", {1, ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Line(c.line, Drives())) << c.line;
}

TEST_F(NativeQueries, ClippedTextFromTheFile) {
    ProcessOptions o;
    o.env = {{"MURLIN_CLIPBOARD", dir_ + "/clip.txt"}};
    EXPECT_EQ((Outcome{0, ""}), Line("%*clippedtext()", o)) << "no file: no text";
    ASSERT_TRUE(std::ofstream(dir_ + "/clip.txt", std::ios::binary) << "h\xC3\xA9llo,\tworld");
    EXPECT_EQ((Outcome{0, "[h\xC3\xA9llo,\tworld]"}), Line("[%*clippedtext(ignored)]", o));
}

#else

// What the system reports for one present drive.
struct ReportedVolume {
    char letter;
    std::string label; // ASCII labels only; others are skipped
    std::string serial;
};

std::vector<ReportedVolume> ReadableVolumes() {
    std::vector<ReportedVolume> volumes;
    DWORD drives = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) continue;
        wchar_t root[] = {static_cast<wchar_t>(L'A' + i), L':', L'\\', 0};
        wchar_t label[MAX_PATH + 1] = {};
        DWORD serial = 0;
        if (!::GetVolumeInformationW(root, label, MAX_PATH + 1, &serial, nullptr, nullptr, nullptr,
                                     0))
            continue;
        ReportedVolume v{static_cast<char>('A' + i), {}, {}};
        bool ascii = true;
        for (const wchar_t* p = label; *p != 0; ++p) {
            ascii = ascii && *p > 0x20 && *p < 0x7F && *p != L',' && *p != L')' && *p != L'"';
            v.label += static_cast<char>(*p);
        }
        char text[16];
        std::snprintf(text, sizeof text, "%04X-%04X", static_cast<unsigned>(serial >> 16),
                      static_cast<unsigned>(serial & 0xFFFF));
        v.serial = text;
        if (ascii) volumes.push_back(v);
    }
    return volumes;
}

// The drive the module must name for a key: the lowest letter whose label,
// or else serial number text, equals it.
std::string Expected(const std::vector<ReportedVolume>& volumes, const std::string& key) {
    for (const ReportedVolume& v : volumes)
        if (v.label == key || v.serial == key) return {v.letter, ':'};
    return "";
}

TEST(WineDrives, FoundByTheLabelAndSerialNumberWineReports) {
    std::vector<ReportedVolume> volumes = ReadableVolumes();
    ASSERT_FALSE(volumes.empty()) << "no drive reports its volume";
    for (const ReportedVolume& v : volumes) {
        // An empty label is asked for with an empty key.
        std::string labelKey = v.label.empty() ? "\"\"" : v.label;
        EXPECT_EQ((Outcome{0, Expected(volumes, v.label)}),
                  Line("%*finddrive(Q:," + labelKey + ")"))
            << v.letter << " label " << v.label;
        EXPECT_EQ((Outcome{0, Expected(volumes, v.serial)}),
                  Line("%*finddrive(Q:,NO SUCH LABEL," + v.serial + ")"))
            << v.letter << " serial " << v.serial;
    }
    EXPECT_EQ((Outcome{0, "c:"}), Line("%*finddrive(c:\\windows)"));
}

TEST(WineClipboard, ClippedTextFromTheRealClipboard) {
    ASSERT_TRUE(PutOnClipboard(u"h\u00E9llo,\tworld"));
    EXPECT_EQ((Outcome{0, "[h\xC3\xA9llo,\tworld]"}), Line("[%*clippedtext(ignored)]"));
    ASSERT_TRUE(PutOnClipboard(std::u16string(1500, u'k')));
    EXPECT_EQ((Outcome{0, std::string(1500, 'k')}), Line("%*clippedtext()"));
    EXPECT_EQ((Outcome{0, std::string(1008, 'k')}),
              Line("%*clippedtext()", {}, {"--decline-long-results"}));
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    EXPECT_EQ((Outcome{0, ""}), Line("%*clippedtext()"));
}

#endif

} // namespace
