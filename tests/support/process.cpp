// A child process with pipes on all three standard streams.
// POSIX: fork and exec, one poll loop that feeds standard input and drains
// standard output and error together, so no pipe ever fills up and blocks.
// Windows (and Wine): CreateProcessW with CreatePipe pipes, one thread that
// writes standard input and one that reads standard error while the caller's
// thread reads standard output.
#include "tests/support/process.h"

#if defined(_WIN32)
#include <windows.h>

#include <thread>
#else
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <algorithm>
#include <cstdio>

std::string HostProgramPath() {
#if defined(_WIN32)
    return std::string(MURLIN_BUILD_DIR) + "/murlin-host.exe";
#else
    return std::string(MURLIN_BUILD_DIR) + "/murlin-host";
#endif
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
    ChildProcess child(program, args, options);
    if (options.input.empty()) child.CloseInput();
    return child.Finish(options.input);
}

ProcessResult RunHost(const std::vector<std::string>& args, const ProcessOptions& options) {
    ProcessResult r = RunProcess(HostProgramPath(), args, options);
#if defined(_WIN32) // -1 and no output: Wine, under load, did not start it
    if (r.exitCode == -1 && r.out.empty()) {
        fprintf(stderr, "murlin-host did not start (%s); once more\n", r.err.c_str());
        r = RunProcess(HostProgramPath(), args, options);
    }
#endif
    return r;
}

std::string HostOutput(const std::vector<std::string>& args, const ProcessOptions& options) {
    ProcessResult r = RunHost(args, options);
    if (r.exitCode != 0) r.out += "[status " + std::to_string(r.exitCode) + ": " + r.err + "]";
    return r.out;
}

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return wide;
}

// One argument quoted so that the C runtime's parser gives it back unchanged.
void AppendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            line.append(backslashes * 2 + 1, L'\\');
        else
            line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The inherited environment with the additions, as a sorted block of
// NAME=VALUE strings ending in an empty one.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& additions) {
    std::vector<std::wstring> entries;
    wchar_t* strings = ::GetEnvironmentStringsW();
    for (const wchar_t* p = strings; p != nullptr && *p != 0; p += wcslen(p) + 1)
        entries.emplace_back(p);
    if (strings != nullptr) ::FreeEnvironmentStringsW(strings);
    auto nameOf = [](const std::wstring& entry) {
        // Entries such as "=C:=C:\\" begin with the equals sign.
        size_t eq = entry.find(L'=', 1);
        return eq == std::wstring::npos ? entry : entry.substr(0, eq);
    };
    for (const auto& addition : additions) {
        std::wstring name = Widen(addition.first);
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const std::wstring& existing) {
                                         return _wcsicmp(nameOf(existing).c_str(), name.c_str()) ==
                                                0;
                                     }),
                      entries.end());
        entries.push_back(name + L"=" + Widen(addition.second));
    }
    std::wstring block;
    for (const std::wstring& entry : entries)
        block += entry + L'\0';
    block += L'\0';
    return block;
}

void ReadAll(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        into->append(buffer, got);
}

void WriteAll(HANDLE pipe, const std::string* data) {
    size_t done = 0;
    while (done < data->size()) {
        DWORD wrote = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data->size() - done, 65536));
        if (!::WriteFile(pipe, data->data() + done, chunk, &wrote, nullptr) || wrote == 0) break;
        done += wrote;
    }
    ::CloseHandle(pipe);
}

std::string ErrorText(const char* what) {
    return std::string(what) + " failed: " + std::to_string(::GetLastError());
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const ProcessOptions& options) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, outWrite = nullptr, errWrite = nullptr;
    bool piped = ::CreatePipe(&inRead, &in_, &inherit, 0) &&
                 ::CreatePipe(&out_, &outWrite, &inherit, 0) &&
                 ::CreatePipe(&err_, &errWrite, &inherit, 0);
    if (!piped) result_.err = ErrorText("CreatePipe");
    // The parent's ends stay out of the child.
    for (HANDLE h : {in_, out_, err_})
        if (h != nullptr) ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);

    std::wstring application = Widen(program);
    std::wstring commandLine;
    AppendQuoted(commandLine, application);
    for (const std::string& arg : args) {
        commandLine += L' ';
        AppendQuoted(commandLine, Widen(arg));
    }
    std::wstring environment = EnvironmentBlock(options.env);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    if (piped && !::CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                   CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, &environment[0],
                                   nullptr, &startup, &process))
        result_.err = ErrorText("CreateProcessW");
    for (HANDLE h : {inRead, outWrite, errWrite})
        if (h != nullptr) ::CloseHandle(h);
    if (process.hProcess == nullptr) {
        CloseAll();
        return;
    }
    ::CloseHandle(process.hThread);
    process_ = process.hProcess;
}

bool ChildProcess::Write(const std::string& bytes) {
    DWORD n = 0;
    return ::WriteFile(in_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
           n == bytes.size();
}

void ChildProcess::CloseInput() {
    if (in_ != nullptr) ::CloseHandle(in_);
    in_ = nullptr;
}

void ChildProcess::CloseAll() {
    CloseInput();
    for (HANDLE* h : {&out_, &err_, &process_}) {
        if (*h != nullptr) ::CloseHandle(*h);
        *h = nullptr;
    }
}

ProcessResult ChildProcess::Finish(const std::string& input) {
    if (process_ == nullptr) return result_;
    std::thread writer;
    if (!input.empty() && in_ != nullptr) {
        writer = std::thread(WriteAll, in_, &input);
        in_ = nullptr; // the writer closes it
    }
    std::thread errReader(ReadAll, err_, &result_.err);
    ReadAll(out_, &result_.out);
    errReader.join();
    if (writer.joinable()) writer.join();

    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    result_.exitCode = static_cast<int>(code);
    CloseAll();
    return result_;
}

#else

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const ProcessOptions& options)
    : program_(program) {
    // Everything the child needs is prepared before fork: after it, the
    // child calls only async-signal-safe functions.
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argStrings)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const auto& addition : options.env)
            overridden = overridden || addition.first == name;
        if (!overridden) envStrings.push_back(entry);
    }
    for (const auto& addition : options.env)
        envStrings.push_back(addition.first + "=" + addition.second);
    std::vector<char*> envp;
    for (std::string& entry : envStrings)
        envp.push_back(&entry[0]);
    envp.push_back(nullptr);

    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1}, report[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0) {
        result_.err = std::string("pipe failed: ") + std::strerror(errno);
        for (int* p : {in, out, err, report}) {
            CloseFd(p[0]);
            CloseFd(p[1]);
        }
        return;
    }
    // A child that has closed its standard input must not kill us with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);

    pid_ = ::fork();
    if (pid_ == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        int failure = errno;
        // The parent learns why through the report pipe (closed on exec).
        ssize_t ignored = ::write(report[1], &failure, sizeof failure);
        (void)ignored;
        ::_exit(127);
    }
    CloseFd(in[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    CloseFd(report[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    report_ = report[0];
    if (pid_ < 0) {
        result_.err = std::string("fork failed: ") + std::strerror(errno);
        CloseAll();
    }
}

bool ChildProcess::Write(const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void ChildProcess::CloseInput() {
    CloseFd(in_);
}

void ChildProcess::CloseAll() {
    for (int* fd : {&in_, &out_, &err_, &report_})
        CloseFd(*fd);
}

ProcessResult ChildProcess::Finish(const std::string& input) {
    if (pid_ <= 0) return result_;
    size_t written = 0;
    int feed = input.empty() ? -1 : in_;
    if (feed >= 0) ::fcntl(feed, F_SETFL, ::fcntl(feed, F_GETFL) | O_NONBLOCK);
    char buffer[65536];
    while ((feed >= 0 && in_ >= 0) || out_ >= 0 || err_ >= 0) {
        pollfd fds[3];
        nfds_t n = 0;
        if (feed >= 0 && in_ >= 0) fds[n++] = {in_, POLLOUT, 0};
        if (out_ >= 0) fds[n++] = {out_, POLLIN, 0};
        if (err_ >= 0) fds[n++] = {err_, POLLIN, 0};
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (nfds_t i = 0; i < n; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in_) {
                ssize_t w = ::write(in_, input.data() + written, input.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if ((w < 0 && errno != EAGAIN && errno != EINTR) || written == input.size())
                    CloseFd(in_);
                continue;
            }
            int& fd = fds[i].fd == out_ ? out_ : err_;
            std::string& into = fds[i].fd == out_ ? result_.out : result_.err;
            ssize_t r = ::read(fd, buffer, sizeof buffer);
            if (r > 0)
                into.append(buffer, static_cast<size_t>(r));
            else if (r == 0 || (errno != EINTR && errno != EAGAIN))
                CloseFd(fd);
        }
    }
    int failure = 0;
    ssize_t got = ::read(report_, &failure, sizeof failure);
    CloseAll();

    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (got == static_cast<ssize_t>(sizeof failure)) {
        result_.err = "cannot run " + program_ + ": " + std::strerror(failure);
        result_.exitCode = -1;
    } else if (WIFEXITED(status))
        result_.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result_.exitCode = 128 + WTERMSIG(status);
    return result_;
}

#endif
