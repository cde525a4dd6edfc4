// POSIX backend, files and times. Times come from stat (the creation time is
// the birth time where the file system keeps one, else the last write time),
// the local time from the C library. As on Windows, a directory opens with
// CreateFileW only with backup semantics; FindFirstFileW finds it, and
// matches * and ? in the last component of a name. Names go through the drive mapping of
// posix_drives.h.
#include "platform/posix/posix_drives.h"
#include "platform/posix/posix_handles.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/file_time.h"
#include "platform/utf8_sequences.h"
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr uint32_t FILE_HANDLE_TAG = 0x46494C45;   // "FILE"
constexpr uint32_t SEARCH_HANDLE_TAG = 0x46494E44; // "FIND"
constexpr int32_t PATH_BYTES = 4096;

struct FileRecord {
    uint32_t tag;
    int fd;
};

struct SearchRecord {
    uint32_t tag;
};

os::FILETIME FromTimespec(const timespec& t) {
    return FileTimeFromUnix(t.tv_sec, t.tv_nsec);
}

struct Times {
    os::FILETIME creation, access, write;
};

Times TimesOf(int dirFd, const char* path, int flags, const struct stat& st) {
    Times times{FromTimespec(st.st_mtim), FromTimespec(st.st_atim), FromTimespec(st.st_mtim)};
#ifdef STATX_BTIME
    struct statx sx;
    if (statx(dirFd, path, flags, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME) != 0)
        times.creation = FileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
#else
    (void)dirFd, (void)path, (void)flags;
#endif
    return times;
}

os::DWORD AttributesOf(const struct stat& st, const char* leaf) {
    os::DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= os::FILE_ATTRIBUTE_DIRECTORY;
    if ((st.st_mode & 0222) == 0) attributes |= 0x1; // FILE_ATTRIBUTE_READONLY
    if (leaf != nullptr && leaf[0] == '.' && strcmp(leaf, ".") != 0 && strcmp(leaf, "..") != 0)
        attributes |= 0x2; // FILE_ATTRIBUTE_HIDDEN
    return attributes == 0 ? os::FILE_ATTRIBUTE_NORMAL : attributes;
}

bool ToPath(const char16_t* name, char* path) {
    return PosixPathOf(name, path, PATH_BYTES) && path[0] != 0;
}

unsigned char Fold(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// Matches a name against * (any run) and ? (any one character), ignoring
// ASCII case as Windows file systems do; "*.*" matches every name.
bool Matches(const char* pattern, const char* name) {
    if (strcmp(pattern, "*.*") == 0) pattern = "*";
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || Fold(*pattern) == Fold(*name)) {
            ++pattern;
            // ? stands for one character, not one byte of its UTF-8 form.
            if (pattern[-1] == '?')
                while (IsUtf8Continuation(static_cast<uint8_t>(name[1])))
                    ++name;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
            while (IsUtf8Continuation(static_cast<uint8_t>(*name)))
                name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == 0;
}

void FillFound(os::WIN32_FIND_DATAW* data, const Times& times, const struct stat& st,
               const char* leaf) {
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = AttributesOf(st, leaf);
    data->ftCreationTime = times.creation;
    data->ftLastAccessTime = times.access;
    data->ftLastWriteTime = times.write;
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    data->nFileSizeHigh = static_cast<os::DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<os::DWORD>(size);
    if (Utf8ToUtf16(leaf, data->cFileName, 260) < 0) data->cFileName[0] = 0;
}

os::HANDLE NewSearch() {
    auto* search = static_cast<SearchRecord*>(malloc(sizeof(SearchRecord)));
    if (search == nullptr) return os::InvalidHandle();
    search->tag = SEARCH_HANDLE_TAG;
    return search;
}

// The first entry of the directory that the pattern matches.
os::HANDLE FindByPattern(const char* directory, const char* pattern, os::WIN32_FIND_DATAW* data) {
    DIR* dir = opendir(directory);
    if (dir == nullptr) return os::InvalidHandle();
    os::HANDLE search = os::InvalidHandle();
    while (dirent* entry = readdir(dir)) {
        if (!Matches(pattern, entry->d_name)) continue;
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) continue;
        FillFound(data, TimesOf(dirfd(dir), entry->d_name, 0, st), st, entry->d_name);
        search = NewSearch();
        break;
    }
    closedir(dir);
    return search;
}

} // namespace

namespace os {

// A name that ends in a backslash opens only a directory, as on Windows
// (open refuses a file named with a trailing slash). Asking for the
// attributes alone needs no right to read the contents.
HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD, void*, DWORD, DWORD flags, HANDLE) {
    char path[PATH_BYTES];
    if (!ToPath(name, path)) return InvalidHandle();
    int mode = (access & GENERIC_READ) != 0 ? O_RDONLY | O_NOCTTY | O_NONBLOCK : O_PATH;
    int fd = open(path, mode | O_CLOEXEC);
    if (fd < 0) return InvalidHandle();
    struct stat st;
    // Without backup semantics Windows opens no directory.
    if (fstat(fd, &st) != 0 || (S_ISDIR(st.st_mode) && (flags & FILE_FLAG_BACKUP_SEMANTICS) == 0)) {
        close(fd);
        return InvalidHandle();
    }
    auto* file = static_cast<FileRecord*>(malloc(sizeof(FileRecord)));
    if (file == nullptr) {
        close(fd);
        return InvalidHandle();
    }
    file->tag = FILE_HANDLE_TAG;
    file->fd = fd;
    return file;
}

BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
    auto* file = Own<FileRecord>(handle, FILE_HANDLE_TAG);
    struct stat st;
    if (file == nullptr || fstat(file->fd, &st) != 0) return 0;
    Times times = TimesOf(file->fd, "", AT_EMPTY_PATH, st);
    memset(info, 0, sizeof *info);
    info->dwFileAttributes = AttributesOf(st, nullptr);
    info->ftCreationTime = times.creation;
    info->ftLastAccessTime = times.access;
    info->ftLastWriteTime = times.write;
    info->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size);
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    uint64_t index = static_cast<uint64_t>(st.st_ino);
    info->nFileIndexHigh = static_cast<DWORD>(index >> 32);
    info->nFileIndexLow = static_cast<DWORD>(index);
    return 1;
}

// Closes the handles of CreateFileW; any other handle is refused.
BOOL CloseHandle(HANDLE handle) {
    auto* file = Own<FileRecord>(handle, FILE_HANDLE_TAG);
    if (file == nullptr) return 0;
    close(file->fd);
    file->tag = 0;
    free(file);
    return 1;
}

HANDLE FindFirstFileW(const char16_t* name, WIN32_FIND_DATAW* data) {
    char path[PATH_BYTES];
    if (!ToPath(name, path)) return InvalidHandle();
    char* slash = strrchr(path, '/');
    char* leaf = slash == nullptr ? path : slash + 1;
    if (strpbrk(leaf, "*?") != nullptr) {
        char pattern[PATH_BYTES];
        strcpy(pattern, leaf);
        if (slash == nullptr) return FindByPattern(".", pattern, data);
        if (slash == path) return FindByPattern("/", pattern, data);
        *slash = 0;
        return FindByPattern(path, pattern, data);
    }
    // No wildcard: the named entry itself, which a trailing slash cannot name.
    if (leaf[0] == 0) return InvalidHandle();
    struct stat st;
    if (stat(path, &st) != 0) return InvalidHandle();
    FillFound(data, TimesOf(AT_FDCWD, path, 0, st), st, leaf);
    return NewSearch();
}

BOOL FindClose(HANDLE handle) {
    auto* search = Own<SearchRecord>(handle, SEARCH_HANDLE_TAG);
    if (search == nullptr) return 0;
    search->tag = 0;
    free(search);
    return 1;
}

// Windows applies the offset in force now, daylight saving time included,
// not the one in force at the file time.
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    time_t now = time(nullptr);
    struct tm parts;
    if (localtime_r(&now, &parts) == nullptr) return 0;
    int64_t offset = static_cast<int64_t>(parts.tm_gmtoff) * FILETIME_TICKS_PER_SECOND;
    uint64_t ticks = FileTimeTicks(*utc);
    if (offset < 0 && ticks < static_cast<uint64_t>(-offset)) return 0;
    if (offset > 0 && ticks > UINT64_MAX - static_cast<uint64_t>(offset)) return 0;
    *local = FileTimeFromTicks(ticks + static_cast<uint64_t>(offset));
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* split) {
    return SplitFileTime(FileTimeTicks(*time), split) ? 1 : 0;
}

void GetLocalTime(SYSTEMTIME* now) {
    timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    struct tm parts;
    if (localtime_r(&clock.tv_sec, &parts) == nullptr) {
        memset(now, 0, sizeof *now);
        return;
    }
    now->wYear = static_cast<uint16_t>(parts.tm_year + 1900);
    now->wMonth = static_cast<uint16_t>(parts.tm_mon + 1);
    now->wDayOfWeek = static_cast<uint16_t>(parts.tm_wday);
    now->wDay = static_cast<uint16_t>(parts.tm_mday);
    now->wHour = static_cast<uint16_t>(parts.tm_hour);
    now->wMinute = static_cast<uint16_t>(parts.tm_min);
    // A leap second is shown as the last ordinary one.
    now->wSecond = static_cast<uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    now->wMilliseconds = static_cast<uint16_t>(clock.tv_nsec / 1000000);
}

} // namespace os
