// The standard stream operations of this build's backend, on real pipes and
// files put in place of standard input and output.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// windows.h defines the STD_*_HANDLE names as macros.
constexpr os::DWORD STDIN_ID = static_cast<os::DWORD>(-10);
constexpr os::DWORD STDOUT_ID = static_cast<os::DWORD>(-11);

// A pipe, or the file `path` opened for reading, standing in for a standard
// handle while it lives; the test holds the pipe's other end.
class StdPipe {
  public:
    explicit StdPipe(os::DWORD id, const char* path = nullptr) : id_(id) {
#if defined(_WIN32)
        HANDLE read = nullptr, write = nullptr;
        if (path == nullptr)
            EXPECT_TRUE(CreatePipe(&read, &write, nullptr, 0));
        else
            EXPECT_NE(INVALID_HANDLE_VALUE, read = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ,
                                                               nullptr, OPEN_EXISTING, 0, nullptr));
        saved_ = GetStdHandle(id);
        mine_ = id == STDIN_ID ? read : write;
        other_ = id == STDIN_ID ? write : read;
        SetStdHandle(id, mine_);
#else
        int fds[2] = {-1, -1};
        if (path == nullptr)
            EXPECT_EQ(0, pipe(fds));
        else
            EXPECT_LE(0, fds[0] = open(path, O_RDONLY)) << path;
        fd_ = id == STDIN_ID ? 0 : 1;
        saved_ = dup(fd_);
        dup2(id == STDIN_ID ? fds[0] : fds[1], fd_);
        close(id == STDIN_ID ? fds[0] : fds[1]);
        other_ = id == STDIN_ID ? fds[1] : fds[0];
#endif
    }
    ~StdPipe() {
        CloseOther();
#if defined(_WIN32)
        SetStdHandle(id_, saved_);
        CloseHandle(mine_);
#else
        dup2(saved_, fd_);
        close(saved_);
#endif
    }
    void Write(const std::string& bytes) {
#if defined(_WIN32)
        DWORD n = 0;
        EXPECT_TRUE(WriteFile(other_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
#else
        EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(other_, bytes.data(), bytes.size()));
#endif
    }
    std::string Read(size_t n) {
        std::string bytes(n, '\0');
#if defined(_WIN32)
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(other_, &bytes[0], static_cast<DWORD>(n), &got, nullptr));
        bytes.resize(got);
#else
        ssize_t got = read(other_, &bytes[0], n);
        bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
#endif
        return bytes;
    }
    void CloseOther() {
#if defined(_WIN32)
        if (other_ != nullptr) CloseHandle(other_);
        other_ = nullptr;
#else
        if (other_ >= 0) close(other_);
        other_ = -1;
#endif
    }

  private:
    os::DWORD id_;
#if defined(_WIN32)
    HANDLE saved_, mine_, other_;
#else
    int fd_, saved_, other_;
#endif
};

struct Peeked {
    bool ok;
    os::DWORD available;
};

Peeked Peek() {
    os::DWORD available = 12345;
    bool ok = os::PeekNamedPipe(os::GetStdHandle(STDIN_ID), nullptr, 0, nullptr, &available,
                                nullptr) != 0;
    return {ok, ok ? available : 0};
}

std::string Read(os::DWORD n, bool* ok) {
    std::string bytes(n, '\0');
    os::DWORD got = 0;
    *ok = os::ReadFile(os::GetStdHandle(STDIN_ID), &bytes[0], n, &got, nullptr) != 0;
    bytes.resize(got);
    return bytes;
}

TEST(StreamsPlatform, PeekShowsWhatWaitsAndFailsOnceTheWriterHasGoneAndAllIsRead) {
    StdPipe in(STDIN_ID);
    Peeked empty = Peek();
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(0u, empty.available);

    in.Write("hello");
    Peeked five = Peek();
    EXPECT_TRUE(five.ok);
    EXPECT_EQ(5u, five.available);

    bool ok = false;
    EXPECT_EQ("hel", Read(3, &ok));
    EXPECT_TRUE(ok);
    in.CloseOther();
    Peeked rest = Peek(); // closed, but bytes remain
    EXPECT_TRUE(rest.ok);
    EXPECT_EQ(2u, rest.available);
    EXPECT_EQ("lo", Read(1024, &ok));
    EXPECT_TRUE(ok);

    EXPECT_FALSE(Peek().ok);
    EXPECT_EQ("", Read(1024, &ok));
    EXPECT_FALSE(ok);
}

TEST(StreamsPlatform, PeekFailsOnAFile) {
    std::string path = std::string(MURLIN_BUILD_DIR) + "/streams_platform_input.txt";
    ASSERT_TRUE(std::ofstream(path, std::ios::binary) << "abc");
    {
        StdPipe in(STDIN_ID, path.c_str());
        EXPECT_FALSE(Peek().ok);
        bool ok = false;
        EXPECT_EQ("abc", Read(1023, &ok));
        EXPECT_TRUE(ok);
        EXPECT_EQ("", Read(1023, &ok)); // the end of a file is a read of nothing
        EXPECT_TRUE(ok);
    }
    remove(path.c_str());
}

TEST(StreamsPlatform, WritesGoToTheCurrentStandardOutput) {
    StdPipe out(STDOUT_ID);
    os::DWORD written = 0;
    ASSERT_TRUE(
        os::WriteFile(os::GetStdHandle(STDOUT_ID), "\xEF\xBB\xBFok\r\n", 7, &written, nullptr));
    EXPECT_EQ(7u, written);
    EXPECT_EQ("\xEF\xBB\xBFok\r\n", out.Read(64));
}

TEST(StreamsPlatform, LeadBytes) {
#if defined(_WIN32)
    EXPECT_FALSE(os::IsDBCSLeadByteEx(1252, 0x81));
    EXPECT_TRUE(os::IsDBCSLeadByteEx(932, 0x81));
    EXPECT_FALSE(os::IsDBCSLeadByteEx(932, 0x41));
#else
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(os::IsDBCSLeadByteEx(os::CP_ACP, static_cast<uint8_t>(b)));
#endif
}

} // namespace
