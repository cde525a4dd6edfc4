// murlin-host as a command-line program: its options, its standard streams,
// and the jobs (lines and files of lines) it runs through a Host.
#include "host/host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace murlin_host {

namespace {

#if defined(_WIN32)
void Write(DWORD which, const std::u16string& text) {
    HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        // A console shows UTF-16 as it is.
        DWORD wrote = 0;
        ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr);
        return;
    }
    std::string bytes = ToUtf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        if (!::WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                         &wrote, nullptr) ||
            wrote == 0)
            return;
        done += wrote;
    }
}
void WriteOut(const std::u16string& text) {
    Write(STD_OUTPUT_HANDLE, text);
}
void WriteErr(const std::u16string& text) {
    Write(STD_ERROR_HANDLE, text);
}
#else
// Straight to the descriptor, unbuffered, so that the host's lines and the
// module's own writes to the same stream come out in the order they were made.
void Write(int fd, const std::u16string& text) {
    std::string bytes = ToUtf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<size_t>(wrote);
    }
}
void WriteOut(const std::u16string& text) {
    Write(1, text);
}
void WriteErr(const std::u16string& text) {
    Write(2, text);
}
#endif

void Complain(const std::string& message) {
    WriteErr(FromUtf8("murlin-host: " + message + "\n"));
}

const char USAGE[] =
    "usage: murlin-host [options] [LINE | -f FILE]...\n"
    "Runs Ombry command lines through modules, in order: a LINE given as an argument,\n"
    "or every line of a UTF-8 FILE. Command lines are never read from standard input.\n"
    "\n"
    "  -f FILE                  run the lines of FILE\n"
    "  --module PATH            load this module (repeatable, asked in this order);\n"
    "                           default: the Murlin module beside murlin-host\n"
    "  --info                   print every module's title and served call kinds\n"
    "  --settings FILE          the settings file (default: murlin/settings.ini under\n"
    "                           $XDG_CONFIG_HOME or ~/.config; %APPDATA% on Windows)\n"
    "  --no-host-message        decline HOSTREQ_MESSAGE (the module shows its own box)\n"
    "  --decline-long-results   decline HOSTREQ_LONGRESULT (values are cut at 1008)\n"
    "  --host-version N         answer HOSTREQ_VERSION with N (default 11800, 1.18)\n"
    "  --trace                  show every module call, host request and result on\n"
    "                           standard error\n"
    "  --                       every argument after it is a LINE\n"
    "  -h, --help               this text\n"
    "\n"
    "Exit status: 0 every line ran; 1 a module reported a failure; 2 a module or file\n"
    "could not be used, or the options were wrong; 3 no module serves a name.\n";

struct Job {
    bool file; // -f FILE, or a LINE
    std::u16string text;
};

bool ParseNumber(const std::u16string& text, intptr_t* value) {
    if (text.empty()) return false;
    size_t i = text[0] == u'-' ? 1 : 0;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9' || v > 1000000000000LL) return false;
        v = v * 10 + (text[i] - u'0');
    }
    *value = static_cast<intptr_t>(text[0] == u'-' ? -v : v);
    return true;
}

// The lines of a UTF-8 file: a byte order mark dropped, CR LF or LF ends.
bool ReadLines(const std::filesystem::path& path, std::vector<std::u16string>* lines,
               std::string* error) {
    std::string bytes;
    bool exists = false;
    if (!ReadWholeFile(path, &bytes, &exists, error)) return false;
    if (!exists) {
        *error = "cannot read " + PathText(path) + ": no such file";
        return false;
    }
    *lines = SplitLines(bytes);
    return true;
}

std::string KindsText(uint32_t kinds) {
    std::string text;
    for (int bit = 0; bit < 32; ++bit) {
        if ((kinds & (1u << bit)) == 0) continue;
        if (!text.empty()) text += ", ";
        text += std::to_string(bit);
        if (bit == MODCALL_COMMAND)
            text += " (commands)";
        else if (bit == MODCALL_FUNCTION)
            text += " (functions)";
    }
    return text.empty() ? "none" : text;
}

} // namespace

int Main(const std::vector<std::u16string>& args) {
    HostOptions options;
    std::vector<std::filesystem::path> modulePaths;
    std::vector<Job> jobs;
    std::filesystem::path settingsFile;
    bool info = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != u'-' || arg == u"-") {
            jobs.push_back({false, arg});
            continue;
        }
        std::u16string name = arg, inlineValue;
        bool hasInline = false;
        size_t eq = arg.find(u'=');
        if (arg.compare(0, 2, u"--") == 0 && eq != std::u16string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
            hasInline = true;
        }
        auto value = [&](std::u16string* into) {
            if (hasInline) {
                *into = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                Complain(ToUtf8(name) + " needs a value");
                return false;
            }
            *into = args[++i];
            return true;
        };
        std::u16string v;
        if (name == u"--") {
            optionsEnded = true;
        } else if (name == u"-h" || name == u"--help") {
            WriteOut(FromUtf8(USAGE));
            return STATUS_OK;
        } else if (name == u"-f" || name == u"--file") {
            if (!value(&v)) return STATUS_SETUP;
            jobs.push_back({true, v});
        } else if (name == u"--module") {
            if (!value(&v)) return STATUS_SETUP;
            modulePaths.push_back(PathFrom(v));
        } else if (name == u"--settings") {
            if (!value(&v)) return STATUS_SETUP;
            settingsFile = PathFrom(v);
        } else if (name == u"--host-version") {
            if (!value(&v)) return STATUS_SETUP;
            if (!ParseNumber(v, &options.version)) {
                Complain("--host-version needs a decimal number, not " + ToUtf8(v));
                return STATUS_SETUP;
            }
        } else if (name == u"--info" && !hasInline) {
            info = true;
        } else if (name == u"--no-host-message" && !hasInline) {
            options.hostMessages = false;
        } else if (name == u"--decline-long-results" && !hasInline) {
            options.longResults = false;
        } else if (name == u"--trace" && !hasInline) {
            options.trace = true;
        } else {
            Complain("unknown option " + ToUtf8(arg) + " (murlin-host --help lists them)");
            return STATUS_SETUP;
        }
    }
    if (jobs.empty() && !info) {
        WriteErr(FromUtf8(USAGE));
        return STATUS_SETUP;
    }

    // The settings file is found now but read only when a line uses it; with
    // no configuration directory, only a line that uses settings fails.
    std::string settingsError;
    bool haveSettingsPath =
        !settingsFile.empty() || DefaultSettingsPath(&settingsFile, &settingsError);
    Settings settings(settingsFile);
    if (modulePaths.empty()) modulePaths.push_back(DefaultModulePath());

    Host host(options, WriteOut, WriteErr, haveSettingsPath ? &settings : nullptr);
    for (const auto& path : modulePaths) {
        std::string error;
        if (!host.Load(path, &error)) {
            Complain(error);
            return STATUS_SETUP;
        }
    }
    if (info) {
        for (const auto& module : host.Modules()) {
            WriteOut(FromUtf8(PathText(module->path) + "\n  title: ") + module->title +
                     FromUtf8("\n  served kinds: " + std::to_string(module->servedKinds) + " = " +
                              KindsText(module->servedKinds) + "\n"));
        }
    }
    for (const Job& job : jobs) {
        if (!job.file) {
            Status status = host.Lines().RunLine(job.text);
            if (status != STATUS_OK) return status;
            continue;
        }
        std::vector<std::u16string> lines;
        std::string error;
        if (!ReadLines(PathFrom(job.text), &lines, &error)) {
            Complain(error);
            return STATUS_SETUP;
        }
        for (const std::u16string& line : lines) {
            Status status = host.Lines().RunLine(line);
            if (status != STATUS_OK) return status;
        }
    }
    return STATUS_OK;
}

} // namespace murlin_host
