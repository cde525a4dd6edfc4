// The host settings file: UTF-8, one NAME=VALUE a line, rewritten whole
// through a temporary file beside it and a rename, so that the file on disk
// is always either the old one or the new one. The file is the user's: lines
// the host does not understand, and bytes that are not UTF-8, are kept.
// Hosts take turns through a lock on a file beside it (the settings file
// itself is replaced by every rewrite, so it cannot carry the lock).
#include "host/host.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace murlin_host {

namespace {

constexpr char HEADER[] =
    "; murlin-host settings: NAME=VALUE, UTF-8; \\\\ \\n \\r \\= are escapes\n";

// Backslash, line ends, and in names the equals sign are escaped; so is a
// name's first ';', '#' or '[', which would make its line a comment or a
// section.
void Escape(const std::u16string& text, bool name, std::string* out) {
    std::u16string escaped;
    if (name && !text.empty() && (text[0] == u';' || text[0] == u'#' || text[0] == u'['))
        escaped += u'\\';
    for (char16_t c : text) {
        if (c == u'\\')
            escaped += u"\\\\";
        else if (c == u'\n')
            escaped += u"\\n";
        else if (c == u'\r')
            escaped += u"\\r";
        else if (c == u'=' && name)
            escaped += u"\\=";
        else
            escaped += c;
    }
    *out += ToUtf8(escaped);
}

#if defined(_WIN32)
std::string SystemError(DWORD code) {
    return "error " + std::to_string(code);
}
#endif

// A test hook: a run with this variable set writes part of the temporary file
// and dies before the rename, as a crash in the middle of a rewrite would.
bool CrashInRewrite() {
    const char* hook = std::getenv("MURLIN_HOST_CRASH_IN_REWRITE");
    return hook != nullptr && *hook != 0;
}

// Writes the bytes to a temporary file beside the target, flushes it to the
// disk, and renames it over the target.
bool ReplaceFile(const std::filesystem::path& target, const std::string& bytes,
                 std::string* error) {
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) {
        *error = "cannot create " + PathText(target.parent_path()) + ": " + ec.message();
        return false;
    }
    std::filesystem::path temp = target;
#if defined(_WIN32)
    temp += L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = "cannot write " + PathText(temp) + ": " + SystemError(::GetLastError());
        return false;
    }
    size_t length = CrashInRewrite() ? bytes.size() / 2 : bytes.size();
    size_t done = 0;
    bool ok = true;
    while (ok && done < length) {
        DWORD wrote = 0;
        ok = ::WriteFile(file, bytes.data() + done, static_cast<DWORD>(length - done), &wrote,
                         nullptr) != 0;
        done += wrote;
    }
    ok = ok && ::FlushFileBuffers(file) != 0;
    DWORD code = ok ? 0 : ::GetLastError();
    ::CloseHandle(file);
    if (CrashInRewrite()) ::ExitProcess(99);
    if (ok && !::MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        code = ::GetLastError();
    }
    if (!ok) {
        *error = "cannot write " + PathText(target) + ": " + SystemError(code);
        ::DeleteFileW(temp.c_str());
    }
    return ok;
#else
    temp += "." + std::to_string(::getpid()) + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = "cannot write " + PathText(temp) + ": " + std::strerror(errno);
        return false;
    }
    size_t length = CrashInRewrite() ? bytes.size() / 2 : bytes.size();
    size_t done = 0;
    int code = 0;
    while (done < length) {
        ssize_t wrote = ::write(fd, bytes.data() + done, length - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            code = errno;
            break;
        }
        done += static_cast<size_t>(wrote);
    }
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    ::close(fd);
    if (CrashInRewrite()) ::_exit(99);
    if (code == 0 && ::rename(temp.c_str(), target.c_str()) != 0) code = errno;
    if (code != 0) {
        *error = "cannot write " + PathText(target) + ": " + std::strerror(code);
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with its directory.
    std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    int dirfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
    return true;
#endif
}

} // namespace

// The whole file; false when it exists but cannot be read.
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes, bool* exists,
                   std::string* error) {
    bytes->clear();
    *exists = false;
#if defined(_WIN32)
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD code = ::GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
        *error = "cannot read " + PathText(path) + ": " + SystemError(code);
        return false;
    }
    *exists = true;
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &got, nullptr) != 0) && got > 0)
        bytes->append(buffer, got);
    if (!ok) *error = "cannot read " + PathText(path) + ": " + SystemError(::GetLastError());
    ::CloseHandle(file);
    return ok;
#else
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return true;
        *error = "cannot read " + PathText(path) + ": " + std::strerror(errno);
        return false;
    }
    *exists = true;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            bytes->append(buffer, static_cast<size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            *error = "cannot read " + PathText(path) + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
#endif
}

namespace {

constexpr char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";

// One line of the file, its line end not included: the setting's name and
// value, or false for a line that sets nothing (blank, comment, section,
// no '=', empty name).
bool ParseLine(const std::u16string& line, std::u16string* name, std::u16string* value) {
    name->clear();
    value->clear();
    if (line.empty() || line[0] == u';' || line[0] == u'#' || line[0] == u'[') return false;
    std::u16string* into = name;
    bool sawEquals = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char16_t c = line[i];
        if (c == u'\\' && i + 1 < line.size()) {
            char16_t e = line[++i];
            *into += e == u'n' ? u'\n' : e == u'r' ? u'\r' : e;
        } else if (c == u'=' && !sawEquals) {
            sawEquals = true;
            into = value;
        } else {
            *into += c;
        }
    }
    return sawEquals && !name->empty();
}

} // namespace

std::map<std::u16string, std::u16string> Settings::Parse(const std::string& utf8) {
    std::map<std::u16string, std::u16string> values;
    std::u16string name, value;
    for (const std::u16string& line : SplitLines(utf8))
        if (ParseLine(line, &name, &value)) values[name] = value;
    return values;
}

std::string Settings::Rewrite(const std::string& bytes, const std::u16string& name,
                              const std::u16string& value) {
    std::string line;
    Escape(name, true, &line);
    line += '=';
    Escape(value, false, &line);

    // The last line that sets the name is the one in force.
    size_t replaceFrom = std::string::npos, replaceTo = 0;
    std::string lineEnd = "\n";
    bool sawLineEnd = false;
    std::u16string lineName, lineValue;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) end = bytes.size();
        size_t contentEnd = end > start && bytes[end - 1] == '\r' ? end - 1 : end;
        if (!sawLineEnd && end < bytes.size()) {
            sawLineEnd = true;
            if (contentEnd < end) lineEnd = "\r\n";
        }
        size_t contentStart = start;
        if (start == 0 && bytes.compare(0, 3, BYTE_ORDER_MARK) == 0) contentStart = 3;
        if (contentStart > contentEnd) contentStart = contentEnd;
        if (ParseLine(FromUtf8(bytes.substr(contentStart, contentEnd - contentStart)), &lineName,
                      &lineValue) &&
            lineName == name) {
            replaceFrom = contentStart;
            replaceTo = contentEnd;
        }
        start = next;
    }
    if (replaceFrom != std::string::npos)
        return bytes.substr(0, replaceFrom) + line + bytes.substr(replaceTo);
    std::string out = bytes.empty() ? std::string(HEADER) : bytes;
    // A last line without its line end gets one; a last CR (read as a line
    // end, not as part of the value) becomes a CR LF.
    if (out.back() != '\n') out += out.back() == '\r' ? "\n" : lineEnd;
    return out + line + lineEnd;
}

bool Settings::Load(std::string* error) {
    std::string bytes;
    bool exists = false;
    if (!ReadWholeFile(file_, &bytes, &exists, error)) return false;
    values_ = Parse(bytes);
    bytes_ = std::move(bytes);
    return true;
}

bool Settings::Lock(std::string* error) {
    if (locked_) return true;
    std::filesystem::path lockPath = file_;
    lockPath += ".lock";
    std::error_code ec;
    if (file_.has_parent_path()) std::filesystem::create_directories(file_.parent_path(), ec);
#if defined(_WIN32)
    HANDLE file = ::CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        OVERLAPPED whole{};
        if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
            lockFile_ = file;
            locked_ = true;
        } else {
            ::CloseHandle(file);
        }
    }
#else
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        int result;
        do
            result = ::flock(fd, LOCK_EX);
        while (result != 0 && errno == EINTR);
        if (result == 0) {
            lockFile_ = fd;
            locked_ = true;
        } else {
            ::close(fd);
        }
    }
#endif
    if (Load(error)) return true;
    Unlock();
    return false;
}

void Settings::Unlock() {
    if (!locked_) return;
#if defined(_WIN32)
    OVERLAPPED whole{};
    ::UnlockFileEx(lockFile_, 0, 1, 0, &whole);
    ::CloseHandle(lockFile_);
    lockFile_ = nullptr;
#else
    ::flock(lockFile_, LOCK_UN);
    ::close(lockFile_);
    lockFile_ = -1;
#endif
    locked_ = false;
}

std::u16string Settings::Get(const std::u16string& name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::u16string() : found->second;
}

bool Settings::Set(const std::u16string& name, const std::u16string& value, std::string* error) {
    bool ownLock = !locked_;
    if (ownLock && !Lock(error)) return false;
    std::string bytes = Rewrite(bytes_, name, value);
    bool ok = ReplaceFile(file_, bytes, error);
    if (ok) {
        values_ = Parse(bytes);
        bytes_ = std::move(bytes);
    }
    if (ownLock) Unlock();
    return ok;
}

bool DefaultSettingsPath(std::filesystem::path* path, std::string* error) {
#if defined(_WIN32)
    DWORD n = ::GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (n == 0) {
        *error = "APPDATA is not set; name a settings file with --settings FILE";
        return false;
    }
    std::wstring appData(n, L'\0');
    n = ::GetEnvironmentVariableW(L"APPDATA", &appData[0], n);
    appData.resize(n);
    *path = std::filesystem::path(appData) / L"murlin" / L"settings.ini";
    return true;
#else
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        *path = std::filesystem::path(xdg) / "murlin" / "settings.ini";
        return true;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == 0) {
        *error =
            "neither XDG_CONFIG_HOME nor HOME is set; name a settings file with --settings FILE";
        return false;
    }
    *path = std::filesystem::path(home) / ".config" / "murlin" / "settings.ini";
    return true;
#endif
}

} // namespace murlin_host
