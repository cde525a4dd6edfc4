// POSIX backend, standard streams. The standard handles are descriptors 0, 1
// and 2. A pipe read at its end fails, as a Windows pipe read does once the
// writer has gone; the peek works on pipes and FIFOs alone.
#include "platform/platform.h"

#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

// Handles are tagged descriptors, so that no descriptor reads as null or as
// the invalid handle.
constexpr intptr_t STD_HANDLE_TAG = 0x5D00;

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(STD_HANDLE_TAG + fd);
}

int DescriptorOf(HANDLE handle) {
    intptr_t value = reinterpret_cast<intptr_t>(handle);
    if (value < STD_HANDLE_TAG || value > STD_HANDLE_TAG + 2) return -1;
    return static_cast<int>(value - STD_HANDLE_TAG);
}

bool IsPipe(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode);
}

} // namespace

HANDLE GetStdHandle(DWORD id) {
    int fd = id == STD_INPUT_HANDLE    ? 0
             : id == STD_OUTPUT_HANDLE ? 1
             : id == STD_ERROR_HANDLE  ? 2
                                       : -1;
    // As on Windows, the descriptor is not checked here: a closed one makes
    // the reads and writes fail.
    if (fd < 0) return InvalidHandle();
    return HandleOf(fd);
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    if (bytesRead != nullptr) *bytesRead = 0;
    int fd = DescriptorOf(file);
    if (fd < 0) return 0;
    ssize_t n;
    do
        n = read(fd, buffer, bytesToRead);
    while (n < 0 && errno == EINTR);
    if (n < 0) return 0;
    // The end of a pipe is a broken pipe; the end of a file is a read of 0.
    if (n == 0 && bytesToRead > 0 && IsPipe(fd)) return 0;
    if (bytesRead != nullptr) *bytesRead = static_cast<DWORD>(n);
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    int fd = DescriptorOf(file);
    if (fd < 0) return 0;
    ssize_t n;
    do
        n = write(fd, buffer, bytesToWrite);
    while (n < 0 && errno == EINTR);
    if (n < 0) return 0;
    if (bytesWritten != nullptr) *bytesWritten = static_cast<DWORD>(n);
    return 1;
}

// Only the count of bytes waiting is given; nothing is copied out.
BOOL PeekNamedPipe(HANDLE pipe, void*, DWORD, DWORD* bytesRead, DWORD* totalBytesAvail,
                   DWORD* bytesLeftThisMessage) {
    if (bytesRead != nullptr) *bytesRead = 0;
    if (bytesLeftThisMessage != nullptr) *bytesLeftThisMessage = 0;
    int fd = DescriptorOf(pipe);
    if (fd < 0 || !IsPipe(fd)) return 0;
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) return 0;
    if (waiting == 0) {
        // Drained and the writer gone: the pipe is broken.
        pollfd state{fd, POLLIN, 0};
        int ready;
        do
            ready = poll(&state, 1, 0);
        while (ready < 0 && errno == EINTR);
        if (ready < 0 || (ready > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0))
            return 0;
    }
    if (totalBytesAvail != nullptr) *totalBytesAvail = static_cast<DWORD>(waiting);
    return 1;
}

// Code page 0 stands for Windows-1252 here and 65001 is UTF-8: neither has
// lead bytes.
BOOL IsDBCSLeadByteEx(uint32_t, uint8_t) {
    return 0;
}

} // namespace os
