#include "tests/support/std_stand_in.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

const DWORD IDS[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

} // namespace

StdStandIn::StdStandIn(int stream, const std::string& path) : stream_(stream) {
    HANDLE read = nullptr, write = nullptr;
    if (path.empty())
        ::CreatePipe(&read, &write, nullptr, 1 << 20); // room for all a test writes at once
    else if (stream == 0)
        read = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    else
        write = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    mine_ = stream == 0 ? read : write;
    other_ = stream == 0 ? write : read;
    if (mine_ == nullptr || mine_ == INVALID_HANDLE_VALUE) return;
    saved_ = ::GetStdHandle(IDS[stream]);
    ready_ = ::SetStdHandle(IDS[stream], mine_) != 0;
}

StdStandIn::~StdStandIn() {
    CloseOther();
    if (ready_) ::SetStdHandle(IDS[stream_], saved_);
    if (mine_ != nullptr && mine_ != INVALID_HANDLE_VALUE) ::CloseHandle(mine_);
}

bool StdStandIn::Write(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!::WriteFile(other_, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n,
                         nullptr))
            return false;
        done += n;
    }
    return true;
}

std::string StdStandIn::Read(size_t n) {
    std::string bytes(n, '\0');
    DWORD got = 0;
    if (!::ReadFile(other_, &bytes[0], static_cast<DWORD>(n), &got, nullptr)) got = 0;
    bytes.resize(got);
    return bytes;
}

void StdStandIn::CloseOther() {
    if (other_ != nullptr) ::CloseHandle(other_);
    other_ = nullptr;
}

#else
#include <fcntl.h>
#include <unistd.h>

// The stream is saved first: a closed one (CI runs without standard input)
// must not save the pipe that takes its number.
StdStandIn::StdStandIn(int stream, const std::string& path)
    : stream_(stream), saved_(::dup(stream)) {
    int fds[2] = {-1, -1};
    if (path.empty()) {
        if (::pipe(fds) != 0) return; // 64 KiB: room for all a test writes at once
    } else if (stream == 0) {
        fds[0] = ::open(path.c_str(), O_RDONLY);
    } else {
        fds[1] = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    int mine = stream == 0 ? fds[0] : fds[1];
    other_ = stream == 0 ? fds[1] : fds[0];
    if (mine < 0) return;
    if (mine != stream) {
        ::dup2(mine, stream);
        ::close(mine);
    }
    ready_ = true;
}

StdStandIn::~StdStandIn() {
    CloseOther();
    if (ready_ && saved_ < 0) ::close(stream_);
    if (saved_ < 0) return;
    if (ready_) ::dup2(saved_, stream_);
    ::close(saved_);
}

bool StdStandIn::Write(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(other_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string StdStandIn::Read(size_t n) {
    std::string bytes(n, '\0');
    ssize_t got = ::read(other_, &bytes[0], n);
    bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return bytes;
}

void StdStandIn::CloseOther() {
    if (other_ >= 0) ::close(other_);
    other_ = -1;
}

#endif
