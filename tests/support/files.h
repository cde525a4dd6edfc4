// Files for tests: a temporary folder of one's own, and the times of an entry.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>

// A new, empty folder under the system's temporary folder, named after
// `prefix`; it is removed, with everything in it, when the object goes.
class TempFolder {
  public:
    explicit TempFolder(const std::string& prefix);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // The path of `name` in the folder as UTF-8, for command lines and the environment.
    std::string Utf8(const std::string& name = "") const;

  private:
    std::filesystem::path path_;
};

// FILETIME ticks (100 ns since 1601) of a Unix time in seconds.
constexpr uint64_t FileTicksOfUnix(int64_t seconds) {
    return static_cast<uint64_t>(seconds + 11644473600ll) * 10000000ull;
}

// Sets the last write and last access time of a file or directory, in
// FILETIME ticks. False when the system refused.
bool SetEntryTimes(const std::filesystem::path& path, uint64_t writeTicks, uint64_t accessTicks);
