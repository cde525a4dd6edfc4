#include "tests/support/files.h"

#include <random>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string& prefix) {
    std::random_device random;
    for (;;) {
        path_ = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(path_, error) || error) break; // a name already taken: again
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempFolder::Utf8(const std::string& name) const {
    return (name.empty() ? path_ : path_ / fs::u8path(name)).u8string();
}

bool SetEntryTimes(const fs::path& path, uint64_t writeTicks, uint64_t accessTicks) {
#if defined(_WIN32)
    HANDLE entry = CreateFileW(path.wstring().c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (entry == INVALID_HANDLE_VALUE) return false;
    FILETIME write{static_cast<DWORD>(writeTicks), static_cast<DWORD>(writeTicks >> 32)};
    FILETIME access{static_cast<DWORD>(accessTicks), static_cast<DWORD>(accessTicks >> 32)};
    BOOL done = SetFileTime(entry, nullptr, &access, &write);
    CloseHandle(entry);
    return done != 0;
#else
    const uint64_t perSecond = 10000000;
    const int64_t epoch = 11644473600ll;
    auto unix = [&](uint64_t ticks) {
        return timespec{static_cast<time_t>(static_cast<int64_t>(ticks / perSecond) - epoch),
                        static_cast<long>(ticks % perSecond * 100)};
    };
    timespec times[2] = {unix(accessTicks), unix(writeTicks)};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
}
