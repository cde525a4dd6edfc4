// %*StdIn, *StdOut and *StdErr through murlin-host and the module of this
// build, on real pipes: natively, and under Wine with pipes made by
// CreatePipe.
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// A host whose standard input stays open for the test to write into, pause
// and close when it likes; its standard output is collected at the end.
class LiveHost {
  public:
    explicit LiveHost(const std::string& line) {
        std::string program = HostProgramPath();
#if defined(_WIN32)
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE inRead, outWrite;
        EXPECT_TRUE(CreatePipe(&inRead, &in_, &inherit, 0));
        EXPECT_TRUE(CreatePipe(&out_, &outWrite, &inherit, 0));
        SetHandleInformation(in_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
        std::wstring application(program.begin(), program.end());
        std::wstring commandLine =
            L"\"" + application + L"\" \"" + std::wstring(line.begin(), line.end()) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inRead;
        startup.hStdOutput = outWrite;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION process{};
        EXPECT_TRUE(CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process));
        CloseHandle(inRead);
        CloseHandle(outWrite);
        CloseHandle(process.hThread);
        process_ = process.hProcess;
#else
        int in[2], out[2];
        EXPECT_EQ(0, pipe(in));
        EXPECT_EQ(0, pipe(out));
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            for (int fd : {in[0], in[1], out[0], out[1]})
                close(fd);
            execl(program.c_str(), program.c_str(), line.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
#endif
    }

    void Write(const std::string& bytes) {
#if defined(_WIN32)
        DWORD n = 0;
        EXPECT_TRUE(WriteFile(in_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
#else
        EXPECT_EQ(static_cast<ssize_t>(bytes.size()), write(in_, bytes.data(), bytes.size()));
#endif
    }

    void CloseInput() {
#if defined(_WIN32)
        if (in_ != nullptr) CloseHandle(in_);
        in_ = nullptr;
#else
        if (in_ >= 0) close(in_);
        in_ = -1;
#endif
    }

    // Everything the host writes until it ends, and its exit status.
    std::string Finish(int* exitCode) {
        std::string all;
        char buffer[4096];
#if defined(_WIN32)
        DWORD got = 0;
        while (ReadFile(out_, buffer, sizeof buffer, &got, nullptr) && got > 0)
            all.append(buffer, got);
        CloseHandle(out_);
        WaitForSingleObject(process_, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        CloseHandle(process_);
        *exitCode = static_cast<int>(code);
#else
        ssize_t got;
        while ((got = read(out_, buffer, sizeof buffer)) > 0)
            all.append(buffer, static_cast<size_t>(got));
        close(out_);
        int status = 0;
        waitpid(pid_, &status, 0);
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        CloseInput();
        return all;
    }

  private:
#if defined(_WIN32)
    HANDLE in_ = nullptr, out_ = nullptr, process_ = nullptr;
#else
    int in_ = -1, out_ = -1;
    pid_t pid_ = -1;
#endif
};

void Pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

TEST(StreamsEndToEnd, StdInTakesPipedText) {
    const std::string e = "\xC3\xA9";
    struct Case {
        std::string line;
        std::string input;
        std::string out;
    };
    const Case cases[] = {
        {"%*stdin(,utf8)", "h" + e + "llo", "h" + e + "llo\n"},
        {"%*stdin()", "line\r\n", "line\r\n\n"},
        {"%*stdin()", "", "\n"},
        // A character across the end of the first read of 1023 bytes.
        {"%*stdin(,utf8)", std::string(1022, 'a') + e + "z", std::string(1022, 'a') + e + "z\n"},
        {"%*stdin(,utf8)", std::string(3000, 'x') + e, std::string(3000, 'x') + e + "\n"},
        {"%*stdin(,nowait)", "", "\n"},
    };
    for (const Case& c : cases) {
        ProcessOptions options;
        options.input = c.input;
        ProcessResult r = RunHost({c.line}, options);
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ(c.out, r.out) << c.line << " " << c.input.size();
    }
}

TEST(StreamsEndToEnd, StdInWaitsForTheWriterToClose) {
    LiveHost host("%*stdin(,utf8)");
    host.Write("first ");
    Pause();
    host.Write("second \xE2\x82");
    Pause();
    host.Write("\xAC");
    host.CloseInput();
    int exitCode = -1;
    EXPECT_EQ("first second \xE2\x82\xAC\n", host.Finish(&exitCode));
    EXPECT_EQ(0, exitCode);
}

TEST(StreamsEndToEnd, StdInNoWaitOnAnOpenEmptyPipeIsEmptyAtOnce) {
    LiveHost host("%*stdin(,nowait)");
    int exitCode = -1;
    // The pipe stays open until the host has ended.
    EXPECT_EQ("\n", host.Finish(&exitCode));
    EXPECT_EQ(0, exitCode);
}

TEST(StreamsEndToEnd, StdOutWritesExactBytes) {
    struct Case {
        std::string line;
        std::string out;
        bool toErr;
    };
    const Case cases[] = {
        {"*stdout abc", "abc", false},
        {"*stdout " + std::string(4095, 'a'), std::string(4095, 'a'), false},
        {"*stdout " + std::string(4096, 'b'), std::string(4096, 'b'), false},
        {"*stdout " + std::string(5000, 'c'), std::string(5000, 'c'), false},
        {"*stdout -utf8,-bom,\"h\xC3\xA9llo\",-crlf", "\xEF\xBB\xBFh\xC3\xA9llo\r\n", false},
        {"*stdout -bom,x,-lf,y,-crlf", "\xEF\xBB\xBFx\ny\r\n", false},
        {"*stdout -LF,utf8", "-LFutf8", false},
        {"*stderr -utf8,\xE2\x82\xAC,-lf", "\xE2\x82\xAC\n", true},
    };
    for (const Case& c : cases) {
        ProcessResult r = RunHost({c.line});
        EXPECT_EQ(0, r.exitCode) << r.err;
        EXPECT_EQ(c.out, c.toErr ? r.err : r.out) << c.line.substr(0, 40);
        if (c.toErr) {
            EXPECT_EQ("", r.out);
        }
    }
}

} // namespace
