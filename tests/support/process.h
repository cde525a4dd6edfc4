// Runs a program with arguments, environment and standard input, and
// collects its exit status, standard output and standard error. POSIX spawn
// natively; CreateProcessW with CreatePipe pipes under Windows and Wine (Wine
// cannot peek the Unix pipe of a process's own standard input).
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
    std::vector<std::pair<std::string, std::string>> env; // added to the inherited environment
    std::string input; // written to standard input, which is then closed
};

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A started child whose standard input stays open for the caller to write
// into, pause and close when it likes (options.input is not written).
class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const ProcessOptions& options = {});
    ~ChildProcess() {
        CloseInput();
        Finish();
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Write(const std::string& bytes); // all of them, waiting while the pipe is full
    void CloseInput();
    // Writes `input` and closes standard input (without input, it stays as
    // the caller left it until the child ends), collects standard output and
    // error until the child ends, and waits for it.
    ProcessResult Finish(const std::string& input = "");

  private:
    void CloseAll();
    ProcessResult result_;
#if defined(_WIN32)
    void *process_ = nullptr, *in_ = nullptr, *out_ = nullptr, *err_ = nullptr;
#else
    std::string program_;
    int pid_ = -1, in_ = -1, out_ = -1, err_ = -1, report_ = -1;
#endif
};

// `program` is a path, not looked up in PATH. exitCode is the child's exit status; a child killed
// by a signal gives 128 + the signal number; a program that cannot be started gives -1 with the
// reason in err.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The stand-in host built beside the tests, and a run of it.
std::string HostProgramPath();
ProcessResult RunHost(const std::vector<std::string>& args, const ProcessOptions& options = {});
// The standard output of a run of the host; a run that ends with a status
// other than 0 adds it and its standard error, so that comparing the output
// checks the status too.
std::string HostOutput(const std::vector<std::string>& args, const ProcessOptions& options = {});
