// Runs the calls of one seed through this build's module, loaded through its
// export as a host loads it, all in this one process, and writes one record a
// call: the input, the result code, the value, the host's requests in order,
// the bytes written to the standard stream, and whether anything was written
// past the 1024-unit result buffer. differential_compare reads the records of
// every build.
//
//   murlin_differential CALLS SEED RECORDS WORKDIR
//
// WORKDIR is made and becomes the current directory: NOWDATETIME's entries
// live there. RECORDS.stream is where a stream call's output goes.
#include "tests/differential/calls.h"
#include "tests/support/files.h"
#include "tests/support/module_loader.h"
#include "tests/support/std_stand_in.h"
#include "tests/support/test_call.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace differential;

namespace {

// Makes the working directory, the current one, and the dated entries in it.
bool MakeDatedEntries(const char* workDir) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directory(workDir, error);
    fs::current_path(workDir, error);
    if (error) return false;
    for (uint32_t i = 0; i < DATED_ENTRY_COUNT; ++i) {
        fs::path path = fs::u8path(DATED_ENTRIES[i].utf8Name);
        if (DATED_ENTRIES[i].directory)
            fs::create_directory(path, error);
        else
            std::ofstream(path).close();
        if (!fs::exists(path)) return false;
    }
    return true;
}

#if defined(_WIN32)
bool Prepare(const char* workDir) {
    // Code page 0 must be the Linux build's Windows-1252.
    if (GetACP() != 1252) {
        fprintf(stderr, "the ANSI code page is %u, not 1252: run with LANG=C.UTF-8\n", GetACP());
        return false;
    }
    // Only the built-in eras, as in the Linux build without MURLIN_ERAS.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   L"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras");
    return MakeDatedEntries(workDir);
}
#else
bool Prepare(const char* workDir) {
    unsetenv("MURLIN_ERAS");
    return MakeDatedEntries(workDir);
}
#endif

std::string g_streamFile; // RECORDS.stream

// What the call writes to standard output or error, through a file.
std::string Capture(int stream, const std::function<void()>& run) {
    {
        StdStandIn out(stream, g_streamFile);
        if (!out.Ready()) return "(no capture)";
        run();
    }
    std::ifstream file(g_streamFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Wine's PeekNamedPipe fails on the Unix pipe of the process's own standard
// input, so the input comes through a pipe of CreatePipe.
void WithInput(const std::string& bytes, const std::function<void()>& run) {
    StdStandIn pipe(0);
    if (!pipe.Ready()) return;
    pipe.Write(bytes);
    pipe.CloseOther();
    run();
}

// The host: its answers are the call's script.
intptr_t Answer(const Call& call, int32_t code, void* argument) {
    switch (code) {
    case HOSTREQ_EXPAND: {
        size_t n = call.expansion.size() < 1023 ? call.expansion.size() : 1023;
        char16_t* buffer = static_cast<char16_t*>(argument);
        memcpy(buffer, call.expansion.data(), n * sizeof(char16_t));
        buffer[n] = 0;
        return 1;
    }
    case HOSTREQ_EXECUTE:
        return call.executeAnswer;
    case HOSTREQ_MESSAGE:
        return call.messageAnswer;
    case HOSTREQ_LONGRESULT:
        return call.longAnswer;
    default:
        return 0;
    }
}

// A guard zone after the result buffer, long enough for any text a call
// could write past its 1024 units.
constexpr size_t GUARD = 8192;

std::string RunCall(ModuleEntryFunction entry, const Call& call) {
    TestCall record(call.name, call.params, GUARD_UNIT, GUARD);
    record.buffer[0] = 0;
    TestHost host;
    host.answer = [&call](int32_t code, void* argument) { return Answer(call, code, argument); };
    record.host = host.info;
    bool ok = true;
    if (call.datedEntry >= 0) {
        const DatedEntry& dated = DATED_ENTRIES[call.datedEntry];
        ok =
            SetEntryTimes(std::filesystem::u8path(dated.utf8Name), call.writeTime, call.accessTime);
    }
    int32_t rc = 0;
    auto run = [&] { rc = record.Run(entry, call.kind); };
    std::string stream;
    bool isStdErr = std::u16string(call.name) == u"STDERR";
    if (isStdErr || std::u16string(call.name) == u"STDOUT")
        stream = Capture(isStdErr ? 2 : 1, run);
    else if (std::u16string(call.name) == u"STDIN")
        WithInput(call.input, run);
    else
        run();

    std::u16string result = record.Result();
    std::string value = EscapeUnits(result);
    if (result.size() == RESULT_BUFFER_UNITS) value += " (no terminator)";
    std::string requests;
    for (const HostRequest& request : host.requests)
        requests += (requests.empty() ? "" : "|") + std::to_string(request.code) + ":" +
                    EscapeUnits(request.text);
    return EscapeUnits(call.name) + "\t" + DescribeInput(call) + (ok ? "" : " (times not set)") +
           "\t" + std::to_string(rc) + "\t" + value + "\t" + requests + "\t" + EscapeBytes(stream) +
           "\t" + (record.GuardIntact() ? "kept" : "written past the buffer");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: murlin_differential CALLS SEED RECORDS WORKDIR\n");
        return 2;
    }
    uint32_t calls = static_cast<uint32_t>(strtoul(argv[1], nullptr, 10));
    uint64_t seed = strtoull(argv[2], nullptr, 10);
    FILE* records = fopen(argv[3], "wb");
    g_streamFile = std::string(argv[3]) + ".stream";
    if (records == nullptr || !Prepare(argv[4])) {
        fprintf(stderr, "murlin_differential: cannot prepare %s and %s\n", argv[3], argv[4]);
        return 2;
    }
    LoadedModule module = LoadModule(BuiltModulePath());
    if (module.entry == nullptr) {
        fprintf(stderr, "murlin_differential: %s: %s\n", BuiltModulePath().c_str(),
                module.error.c_str());
        return 2;
    }
    fprintf(records, "# seed %llu, %u calls\n", static_cast<unsigned long long>(seed), calls);
    for (uint32_t i = 0; i < calls; ++i) {
        std::string line =
            std::to_string(i) + "\t" + RunCall(module.entry, MakeCall(seed, i)) + "\n";
        fwrite(line.data(), 1, line.size(), records);
        fflush(records); // a crash still leaves the calls before it
    }
    fclose(records);
    UnloadModule(module);
    return 0;
}
