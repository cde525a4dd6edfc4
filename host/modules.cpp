// The host's side of the module interface: loading and identifying modules,
// calling them in load order, answering their requests; and the program's
// options and standard streams.
#include "host/host.h"

#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace murlin_host {

namespace {

std::filesystem::path PathFrom(const std::u16string& text) {
#if defined(_WIN32)
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
    return std::filesystem::path(ToUtf8(text));
#endif
}

// The NUL-terminated text at p, reading no more than limit units.
std::u16string TextAt(const void* p, size_t limit = static_cast<size_t>(-1)) {
    const char16_t* text = static_cast<const char16_t*>(p);
    size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return std::u16string(text, n);
}

intptr_t ServiceFunction(HostInfo* info, int32_t request, void* argument) {
    // Nothing may unwind into the module, which has no unwind tables.
    try {
        return static_cast<Host*>(info->reserved1)->Answer(request, argument);
    } catch (...) {
        return 0;
    }
}

} // namespace

// One module call in progress: where a long result goes.
struct Host::Call {
    int32_t kind = 0;
    bool hasLongResult = false;
    std::u16string longResult;
};

Host::Host(HostOptions options, Interpreter::Writer out, Interpreter::Writer err,
           Settings* settings)
    : options_(options), err_(err),
      interpreter_([this](int32_t kind, const std::u16string& name,
                          const std::vector<std::u16string>& params,
                          std::u16string* value) { return Dispatch(kind, name, params, value); },
                   std::move(out), err, settings) {
    info_.callback = ServiceFunction;
    info_.reserved1 = this;
}

Host::~Host() {
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) {
#if defined(_WIN32)
        ::FreeLibrary(static_cast<HMODULE>((*it)->handle));
#else
        ::dlclose((*it)->handle);
#endif
    }
}

bool Host::Load(const std::filesystem::path& given, std::string* error) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(given, ec);
    if (ec) path = given;
    auto module = std::make_unique<LoadedModule>();
    module->path = path;
#if defined(_WIN32)
    HMODULE handle = ::LoadLibraryW(path.c_str());
    if (handle == nullptr) {
        *error = "cannot load the module " + PathText(path) + ": error " +
                 std::to_string(::GetLastError());
        return false;
    }
    module->handle = handle;
    module->entry = reinterpret_cast<ModuleEntryFunction>(
        reinterpret_cast<void*>(::GetProcAddress(handle, "ModuleEntry")));
#else
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = ::dlerror();
        *error = "cannot load the module " + PathText(path) + ": " +
                 (reason != nullptr ? reason : "dlopen failed");
        return false;
    }
    module->handle = handle;
    module->entry = reinterpret_cast<ModuleEntryFunction>(::dlsym(handle, "ModuleEntry"));
#endif
    LoadedModule* loaded = module.get();
    modules_.push_back(std::move(module)); // unloaded with the host from here on
    if (loaded->entry == nullptr) {
        *error = "the module " + PathText(path) + " has no ModuleEntry";
        return false;
    }
    std::vector<char16_t> title(1024, 0);
    ModuleInfoRequest request{0, 0, title.data()};
    int32_t answer = loaded->entry(&info_, MODCALL_INFO, reinterpret_cast<intptr_t>(&request));
    if (answer != RESULT_SERVED) {
        *error = "the module " + PathText(path) + " answered the identification with " +
                 std::to_string(answer);
        return false;
    }
    title.back() = 0;
    loaded->title = TextAt(title.data());
    loaded->servedKinds = request.servedKinds;
    return true;
}

int32_t Host::Dispatch(int32_t kind, const std::u16string& name,
                       const std::vector<std::u16string>& params, std::u16string* value) {
    // The ParamList: each parameter and its NUL, one after the other.
    std::vector<char16_t> paramList;
    for (const std::u16string& param : params) {
        paramList.insert(paramList.end(), param.begin(), param.end());
        paramList.push_back(0);
    }
    paramList.push_back(0); // a NUL to point at when there are none
    for (const auto& module : modules_) {
        std::vector<char16_t> result(RESULT_BUFFER_UNITS, 0);
        ModuleCall call{};
        call.name = name.c_str();
        call.resultBuffer = result.data();
        call.paramList = paramList.data();
        call.paramCount = static_cast<uint32_t>(params.size());
        call.nameKey = NameKey(name.c_str());
        Call inProgress;
        inProgress.kind = kind;
        calls_.push_back(&inProgress);
        int32_t answer = module->entry(&info_, kind, reinterpret_cast<intptr_t>(&call));
        calls_.pop_back();
        if (answer == RESULT_NOT_SERVED) continue;
        if (answer == RESULT_SERVED && kind == MODCALL_FUNCTION)
            *value = inProgress.hasLongResult ? inProgress.longResult
                                              : TextAt(result.data(), result.size());
        return answer == RESULT_SERVED ? RESULT_SERVED : RESULT_FAILED;
    }
    return RESULT_NOT_SERVED;
}

intptr_t Host::Answer(int32_t request, void* argument) {
    switch (request) {
    case HOSTREQ_MESSAGE:
        if (!options_.hostMessages || argument == nullptr) return 0;
        err_(TextAt(argument) + u"\n");
        return 1;
    case HOSTREQ_LONGRESULT:
        // Only a function has a value to take.
        if (!options_.longResults || argument == nullptr || calls_.empty() ||
            calls_.back()->kind != MODCALL_FUNCTION)
            return 0;
        calls_.back()->longResult = TextAt(argument);
        calls_.back()->hasLongResult = true;
        return 1;
    case HOSTREQ_VERSION:
        return options_.version;
    case HOSTREQ_EXPAND: {
        if (argument == nullptr) return 0;
        char16_t* buffer = static_cast<char16_t*>(argument);
        std::u16string expanded;
        if (interpreter_.Expand(TextAt(buffer, RESULT_BUFFER_UNITS), &expanded) != STATUS_OK)
            return 0; // the buffer keeps the macro text
        size_t n = std::min(expanded.size(), RESULT_BUFFER_UNITS - 1);
        std::memcpy(buffer, expanded.data(), n * sizeof(char16_t));
        buffer[n] = 0;
        return 1;
    }
    case HOSTREQ_EXECUTE:
        if (argument == nullptr) return 0;
        return interpreter_.RunLine(TextAt(argument)) == STATUS_OK ? 1 : 0;
    default:
        return 0;
    }
}

std::filesystem::path DefaultModulePath() {
#if defined(_WIN32)
    std::wstring self(32768, L'\0');
    DWORD n = ::GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()));
    self.resize(n);
    std::filesystem::path dir = std::filesystem::path(self).parent_path();
    return dir / (sizeof(void*) == 8 ? L"Murlin64.dll" : L"Murlin.dll");
#else
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::filesystem::path dir = ec ? std::filesystem::current_path(ec) : self.parent_path();
    return dir / (sizeof(void*) == 8 ? "Murlin64.so" : "Murlin.so");
#endif
}

// ---- The program ---------------------------------------------------------------

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
