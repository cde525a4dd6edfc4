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
    std::string workingDirectory;
};

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// The stand-in host built beside the tests, and a run of it.
std::string HostProgramPath();
ProcessResult RunHost(const std::vector<std::string>& args, const ProcessOptions& options = {});
