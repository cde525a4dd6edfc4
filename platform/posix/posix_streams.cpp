// POSIX backend, standard streams. The standard handles are descriptors 0, 1
// and 2. A pipe read at its end fails, as a Windows pipe read does once the
// writer has gone; the peek works on pipes and FIFOs alone.
#include "platform/posix/posix_handles.h"
#include "platform/posix/posix_last_error.h"
#include "platform/platform.h"

#include <errno.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

constexpr uint32_t STD_HANDLE_TAG = 0x53544448; // "STDH"

// The three standard handles, records like every other handle of the
// stand-ins; they are never closed.
struct StdRecord {
    uint32_t tag;
    int fd;
};
StdRecord g_standard[3] = {{STD_HANDLE_TAG, 0}, {STD_HANDLE_TAG, 1}, {STD_HANDLE_TAG, 2}};

// The descriptor of a standard handle, or -1 for any other handle.
int DescriptorOf(HANDLE handle) {
    StdRecord* record = Own<StdRecord>(handle, STD_HANDLE_TAG);
    return record == nullptr ? -1 : record->fd;
}

// A system call made again for as long as a signal interrupts it.
template <typename Call> auto Uninterrupted(Call call) {
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
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
    return &g_standard[fd];
}

// Only the standard handles are asked: the module asks no other.
DWORD GetFileType(HANDLE file) {
    int fd = DescriptorOf(file);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0) {
        RecordLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
    if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;
    return FILE_TYPE_DISK;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    if (bytesRead != nullptr) *bytesRead = 0;
    int fd = DescriptorOf(file);
    ssize_t n = fd < 0 ? -1 : Uninterrupted([&] { return read(fd, buffer, bytesToRead); });
    if (n < 0) return 0;
    // The end of a pipe is a broken pipe; the end of a file is a read of 0.
    if (n == 0 && bytesToRead > 0 && IsPipe(fd)) return 0;
    if (bytesRead != nullptr) *bytesRead = static_cast<DWORD>(n);
    return 1;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    int fd = DescriptorOf(file);
    ssize_t n = fd < 0 ? -1 : Uninterrupted([&] { return write(fd, buffer, bytesToWrite); });
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
    if (fd < 0 || !IsPipe(fd)) {
        RecordLastError(fd < 0 ? ERROR_INVALID_HANDLE : ERROR_INVALID_FUNCTION);
        return 0;
    }
    int waiting = 0;
    if (ioctl(fd, FIONREAD, &waiting) != 0) {
        RecordLastError(ERROR_INVALID_FUNCTION);
        return 0;
    }
    if (waiting == 0) {
        // Drained and the writer gone: the pipe is broken.
        pollfd state{fd, POLLIN, 0};
        int ready = Uninterrupted([&] { return poll(&state, 1, 0); });
        if (ready < 0 || (ready > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)) {
            RecordLastError(ERROR_BROKEN_PIPE);
            return 0;
        }
    }
    if (totalBytesAvail != nullptr) *totalBytesAvail = static_cast<DWORD>(waiting);
    return 1;
}

// Code page 0 stands for Windows-1252 here, the ANSI code page, and 65001 is
// UTF-8: neither has lead bytes.
BOOL IsDBCSLeadByteEx(uint32_t, uint8_t) {
    return 0;
}

uint32_t GetACP() {
    return 1252;
}

} // namespace os
