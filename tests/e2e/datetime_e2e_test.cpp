// NOWDATETIME through murlin-host and the real module: the current time with
// its era, and an era after 2019 read from the platform's list of eras (the
// registry under Wine, the file named by MURLIN_ERAS natively).
#include "tests/support/files.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

// 2031-06-23 12:00 UTC and 2001-02-03 12:00 UTC: far enough from midnight
// that every time zone keeps the day's year.
constexpr int64_t FUTURE_WRITE = 1939982400;
constexpr int64_t PAST_ACCESS = 981201600;

const char* const TABLE_ERAS[][2] = {
    {"1868 01 01", "\xE6\x98\x8E\xE6\xB2\xBB_\xE6\x98\x8E_Meiji_M"},
    {"1912 07 30", "\xE5\xA4\xA7\xE6\xAD\xA3_\xE5\xA4\xA7_Taisho_T"},
    {"1926 12 25", "\xE6\x98\xAD\xE5\x92\x8C_\xE6\x98\xAD_Showa_S"},
    {"1989 01 08", "\xE5\xB9\xB3\xE6\x88\x90_\xE5\xB9\xB3_Heisei_H"},
    {"2019 05 01", "\xE4\xBB\xA4\xE5\x92\x8C_\xE4\xBB\xA4_Reiwa_R"},
};
const char* const ERA_2030[2] = {"2030 01 01", "\xE5\x85\x89\xE6\x98\x8E_\xE5\x85\x89_Komei_K"};
const char* const KOMEI = "\xE5\x85\x89\xE6\x98\x8E";
const char* const REIWA = "\xE4\xBB\xA4\xE5\x92\x8C";

// Dates a file or directory: last written in 2031, last read in 2001.
void Date(const fs::path& path) {
    EXPECT_TRUE(SetEntryTimes(path, FileTicksOfUnix(FUTURE_WRITE), FileTicksOfUnix(PAST_ACCESS)));
}

#if defined(_WIN32)
// Writes the list of eras into the registry for the life of the test: the
// whole key when the system has none, else only the 2030 value.
class EraList {
  public:
    EraList() {
        DWORD disposition = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key_, &disposition));
        createdKey_ = disposition == REG_CREATED_NEW_KEY;
        if (createdKey_)
            for (const auto& era : TABLE_ERAS)
                Set(era[0], era[1]);
        Set(ERA_2030[0], ERA_2030[1]);
    }
    ~EraList() {
        RegDeleteValueW(key_, Wide(ERA_2030[0]).c_str());
        RegCloseKey(key_);
        if (createdKey_) RegDeleteKeyW(HKEY_LOCAL_MACHINE, KEY_PATH);
    }
    std::vector<std::pair<std::string, std::string>> Env() const { return {}; }

  private:
    static constexpr const wchar_t* KEY_PATH =
        L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras";
    static std::wstring Wide(const char* utf8) { return fs::u8path(utf8).wstring(); }
    void Set(const char* name, const char* data) {
        std::wstring value = Wide(data);
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key_, Wide(name).c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
    }
    HKEY key_ = nullptr;
    bool createdKey_ = false;
};
#else
// The list of eras as the file that MURLIN_ERAS names.
class EraList {
  public:
    EraList() : path_(fs::current_path() / "dt_e2e_eras.txt") {
        std::ofstream file(path_);
        for (const auto& era : TABLE_ERAS)
            file << era[0] << '=' << era[1] << '\n';
        file << ERA_2030[0] << '=' << ERA_2030[1] << '\n';
    }
    ~EraList() { fs::remove(path_); }
    std::vector<std::pair<std::string, std::string>> Env() const {
        return {{"MURLIN_ERAS", path_.string()}};
    }

  private:
    fs::path path_;
};
#endif

TEST(NowDateTimeEndToEnd, PrintsTheCurrentTimeWithItsEra) {
    ProcessResult r = RunHost({"%*nowdatetime(\"Y-N-D H:M:S G\")"});
    EXPECT_EQ(0, r.exitCode) << r.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(r.out, m,
                                 std::regex("(\\d{4})-(\\d\\d)-(\\d\\d) "
                                            "(\\d\\d):(\\d\\d):(\\d\\d) (.+)(\\d\\d)\n")))
        << r.out;
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now);
    int year = std::stoi(m[1]);
    EXPECT_LE(std::abs(year - (local.tm_year + 1900)), 1);
    // Until 2030, today's era is the one that began in 2019.
    if (year < 2030) {
        EXPECT_EQ(REIWA, m[7].str());
        EXPECT_EQ(year - 2018, std::stoi(m[8]));
    }
}

TEST(NowDateTimeEndToEnd, AnEraAfter2019ComesFromThePlatformsList) {
    fs::path dated = fs::current_path() / "dt_e2e_dated.txt";
    std::ofstream(dated) << "dated";
    Date(dated);
    std::string line = "%*nowdatetime(\"Y g G\"," + dated.string() + ")";
    EXPECT_EQ(std::string("2031 R13 ") + REIWA + "13\n", HostOutput({line}));
    {
        EraList eras;
        EXPECT_EQ(std::string("2031 K02 ") + KOMEI + "02\n",
                  HostOutput({line}, ProcessOptions{eras.Env(), ""}));
    }
    EXPECT_EQ("2001 H13\n", HostOutput({"%*nowdatetime(Y jH," + dated.string() + ",a)"}));
    fs::remove(dated);
}

// A folder gives its own time however it is named: plainly, with the
// trailing backslash that file managers write, or as a drive's root (drive
// T: is a directory of the build tree: a link in the Wine prefix, natively
// MURLIN_DRIVES).
TEST(NowDateTimeEndToEnd, AFolderGivesItsOwnTime) {
    fs::path dir = fs::current_path() / "dt_e2e_dir";
    fs::path driveT = fs::path(MURLIN_BUILD_DIR) / "drive_t";
    fs::create_directories(dir);
    fs::create_directories(driveT);
    Date(dir);
    Date(driveT);
    ProcessOptions options;
    options.env = {{"MURLIN_DRIVES", "C=/;T=" + driveT.string()}};
    const std::string names[] = {dir.string(), dir.string() + "\\", "T:\\"};
    for (const std::string& name : names)
        EXPECT_EQ("2031\n2001\n",
                  HostOutput({"%*nowdatetime(Y," + name + ")", "%*nowdatetime(Y," + name + ",a)"},
                             options))
            << name;
    fs::remove(dir);
}

} // namespace
