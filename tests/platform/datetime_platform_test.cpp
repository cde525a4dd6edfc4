// The file and time operations of NOWDATETIME against this build's backend:
// Wine's KERNEL32 in the Windows builds, the POSIX stand-ins natively. Both
// must give the same answers.
#include "platform/platform.h"
#include "tests/support/ascii.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <stdlib.h>
#endif

namespace {

namespace fs = std::filesystem;

os::FILETIME Ft(uint64_t ticks) {
    return os::FILETIME{static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
}

uint64_t Ticks(const os::FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Every field, in order, so that a whole SYSTEMTIME compares and prints.
std::vector<int> Fields(const os::SYSTEMTIME& s) {
    return {s.wYear, s.wMonth,  s.wDayOfWeek, s.wDay,
            s.wHour, s.wMinute, s.wSecond,    s.wMilliseconds};
}

TEST(FileTimes, SplitLikeWindows) {
    struct Case {
        uint64_t ticks;
        os::SYSTEMTIME expected;
    };
    const Case cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {116444736000000000ull, {1970, 1, 4, 1, 0, 0, 0, 0}},
        // 2000-12-31 23:59:59.007, a Sunday, and the day after.
        {126227807990070000ull, {2000, 12, 0, 31, 23, 59, 59, 7}},
        {126227808000000000ull, {2001, 1, 1, 1, 0, 0, 0, 0}},
        // 2024-02-29 09:07:04, a leap day; 2100-03-01 after a year without one.
        {133536712240000000ull, {2024, 2, 4, 29, 9, 7, 4, 0}},
        {157520160000000000ull, {2100, 3, 1, 1, 0, 0, 0, 0}},
        {0x7FFFFFFFFFFFFFFFull, {30828, 9, 4, 14, 2, 48, 5, 477}},
    };
    for (const Case& c : cases) {
        os::FILETIME t = Ft(c.ticks);
        os::SYSTEMTIME s{};
        ASSERT_NE(0, os::FileTimeToSystemTime(&t, &s)) << c.ticks;
        EXPECT_EQ(Fields(c.expected), Fields(s)) << c.ticks;
    }
    os::FILETIME tooLate = Ft(0x8000000000000000ull);
    os::SYSTEMTIME s{};
    EXPECT_EQ(0, os::FileTimeToSystemTime(&tooLate, &s));
}

TEST(FileTimes, LocalTimeIsAWholeOffsetAway) {
    os::FILETIME utc = Ft(133536712240000000ull), local{};
    ASSERT_NE(0, os::FileTimeToLocalFileTime(&utc, &local));
    int64_t shift = static_cast<int64_t>(Ticks(local) - Ticks(utc));
    EXPECT_EQ(0, shift % (15 * 60 * 10000000ll)); // zones are whole quarter hours
    EXPECT_LE(shift < 0 ? -shift : shift, 14 * 3600 * 10000000ll);

    os::SYSTEMTIME now{};
    os::GetLocalTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_TRUE(now.wMonth >= 1 && now.wMonth <= 12 && now.wDay >= 1 && now.wDay <= 31);
    EXPECT_TRUE(now.wDayOfWeek <= 6 && now.wHour <= 23 && now.wMinute <= 59 && now.wSecond <= 59 &&
                now.wMilliseconds <= 999);
}

#if !defined(_WIN32)
// The local time is kept for the rest of its second; a zone set in between
// must still show at once.
TEST(LocalTime, FollowsANewZoneWithinTheSameSecond) {
    const char* saved = getenv("TZ");
    std::string savedZone = saved != nullptr ? saved : "";
    struct Zone {
        const char* tz;
        int hoursAhead;
    };
    const Zone zones[] = {{"UTC0", 0}, {"XST-5", 5}, {"YST+3", -3}, {"UTC0", 0}};
    for (const Zone& zone : zones) {
        setenv("TZ", zone.tz, 1);
        tzset();
        // Read until the UTC hour is the same either side of the local time.
        for (int attempt = 0;; ++attempt) {
            time_t before = time(nullptr);
            os::SYSTEMTIME local{};
            os::GetLocalTime(&local);
            time_t after = time(nullptr);
            struct tm utc;
            gmtime_r(&before, &utc);
            if (before / 3600 == after / 3600 || attempt == 3) {
                EXPECT_EQ((utc.tm_hour + zone.hoursAhead + 24) % 24, local.wHour) << zone.tz;
                break;
            }
        }
    }
    if (saved != nullptr)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
#endif

class FileLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir / "sub");
        std::ofstream(dir / "alpha.txt") << "a";
        std::ofstream(dir / "beta.log") << "bb";
    }
    std::u16string Path(const std::string& leaf) {
        return U((dir.Path() / "").generic_string()) + U(leaf);
    }
    static os::HANDLE Open(const std::u16string& path) {
        return os::CreateFileW(path.c_str(), os::GENERIC_READ,
                               os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                               os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    TempFolder dir{"murlin-dt-lookup"};
};

TEST_F(FileLookup, AFileOpensAndADirectoryIsOnlyFound) {
    os::HANDLE file = Open(Path("alpha.txt"));
    ASSERT_NE(os::InvalidHandle(), file);
    os::BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_NE(0, os::GetFileInformationByHandle(file, &info));
    EXPECT_NE(0, os::CloseHandle(file));
    EXPECT_EQ(1u, info.nFileSizeLow);
    EXPECT_EQ(0u, info.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY);
    // Written just now: within a day of the current time, the creation no later.
    os::SYSTEMTIME split{};
    os::FileTimeToSystemTime(&info.ftLastWriteTime, &split);
    EXPECT_GE(split.wYear, 2024);
    EXPECT_LE(Ticks(info.ftCreationTime), Ticks(info.ftLastWriteTime) + 20000000ull);

    for (const char* name : {"sub", ""}) {
        std::u16string path = Path(name);
        if (path.back() == u'/') path.pop_back();
        EXPECT_EQ(os::InvalidHandle(), Open(path)) << name;
        os::WIN32_FIND_DATAW found{};
        os::HANDLE search = os::FindFirstFileW(path.c_str(), &found);
        ASSERT_NE(os::InvalidHandle(), search) << name;
        EXPECT_NE(0, os::FindClose(search));
        EXPECT_NE(0u, found.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY) << name;
    }
}

TEST_F(FileLookup, WildcardsInTheLastComponent) {
    struct Case {
        const char* pattern;
        const char16_t* found; // null: nothing matches
    };
    const Case cases[] = {
        {"*.log", u"beta.log"},  {"?lpha.*", u"alpha.txt"}, {"ALPHA.*", u"alpha.txt"},
        {"b*g", u"beta.log"},    {"be?a.log", u"beta.log"}, {"*.none", nullptr},
        {"?.txt", nullptr},      {"missing", nullptr},      {"s?b", u"sub"},
        {"alpha.txt?", nullptr},
    };
    for (const Case& c : cases) {
        os::WIN32_FIND_DATAW found{};
        os::HANDLE search = os::FindFirstFileW(Path(c.pattern).c_str(), &found);
        if (c.found == nullptr) {
            EXPECT_EQ(os::InvalidHandle(), search) << c.pattern;
            continue;
        }
        ASSERT_NE(os::InvalidHandle(), search) << c.pattern;
        os::FindClose(search);
        EXPECT_EQ(std::u16string(c.found), std::u16string(found.cFileName)) << c.pattern;
    }
}

#if !defined(_WIN32)
// The registry stand-in: the list of eras from the file named by MURLIN_ERAS.
TEST(EraList, ReadsTheFileNamedByTheEnvironment) {
    const char16_t* key = u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras";
    os::HKEY handle = nullptr;
    unsetenv("MURLIN_ERAS");
    EXPECT_NE(os::ERROR_SUCCESS,
              os::RegOpenKeyExW(os::HkeyLocalMachine(), key, 0, os::KEY_READ, &handle));

    fs::path file = fs::current_path() / "dt_eras.txt";
    std::ofstream(file) << "\xEF\xBB\xBF"
                           "2019 05 01=\xE4\xBB\xA4\xE5\x92\x8C_\xE4\xBB\xA4_Reiwa_R\r\n"
                        << "\n2030 01 01=" << std::string(140, 'x') << "\n"
                        << "2040 01 01=ab\n";
    setenv("MURLIN_ERAS", file.c_str(), 1);
    EXPECT_NE(os::ERROR_SUCCESS, os::RegOpenKeyExW(os::HkeyLocalMachine(), u"SYSTEM\\Other", 0,
                                                   os::KEY_READ, &handle));
    ASSERT_EQ(os::ERROR_SUCCESS,
              os::RegOpenKeyExW(os::HkeyLocalMachine(), key, 0, os::KEY_READ, &handle));

    struct Case {
        os::DWORD nameCount, dataSize;
        os::LONG status;
        std::u16string name, data;
    };
    const Case cases[] = {
        {260, 260, os::ERROR_SUCCESS, u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
        {260, 260, os::ERROR_MORE_DATA, u"", u""}, // 282 bytes of data
        {260, 260, os::ERROR_SUCCESS, u"2040 01 01", u"ab"},
        {260, 260, os::ERROR_NO_MORE_ITEMS, u"", u""},
    };
    os::DWORD index = 0;
    for (const Case& c : cases) {
        char16_t name[261] = {};
        char16_t data[130] = {};
        os::DWORD nameCount = c.nameCount, dataSize = c.dataSize, type = 0;
        EXPECT_EQ(c.status, os::RegEnumValueW(handle, index, name, &nameCount, nullptr, &type,
                                              reinterpret_cast<uint8_t*>(data), &dataSize))
            << index;
        if (c.status == os::ERROR_SUCCESS) {
            EXPECT_EQ(c.name, std::u16string(name));
            EXPECT_EQ(c.name.size(), nameCount);
            EXPECT_EQ(c.data, std::u16string(data));
            EXPECT_EQ((c.data.size() + 1) * 2, dataSize);
            EXPECT_EQ(1u, type);
        }
        ++index;
    }
    os::DWORD small = 10; // "2019 05 01" needs 11 units with its NUL
    char16_t name[16];
    EXPECT_EQ(os::ERROR_MORE_DATA,
              os::RegEnumValueW(handle, 0, name, &small, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(os::ERROR_SUCCESS, os::RegCloseKey(handle));
    unsetenv("MURLIN_ERAS");
    fs::remove(file);
}
#endif

} // namespace
