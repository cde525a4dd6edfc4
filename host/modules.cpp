// The host's side of the module interface: loading and identifying modules,
// calling them in load order, answering their requests.
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

// The NUL-terminated text at p, reading no more than limit units.
std::u16string TextAt(const void* p, size_t limit = static_cast<size_t>(-1)) {
    const char16_t* text = static_cast<const char16_t*>(p);
    size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return std::u16string(text, n);
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

std::u16string Ascii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

std::u16string Hex(uint32_t value, int digits) {
    static const char DIGITS[] = "0123456789ABCDEF";
    std::u16string text(static_cast<size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        text[static_cast<size_t>(i)] = static_cast<char16_t>(DIGITS[value & 15]);
    return text;
}

std::u16string KindText(int32_t kind) {
    switch (kind) {
    case MODCALL_INFO:
        return u"0 identify";
    case MODCALL_COMMAND:
        return u"6 command";
    case MODCALL_FUNCTION:
        return u"7 function";
    default:
        return Ascii(std::to_string(kind));
    }
}

// The names of the host requests in the trace.
const char* RequestName(int32_t request) {
    switch (request) {
    case HOSTREQ_EXECUTE:
        return "execute";
    case HOSTREQ_EXPAND:
        return "expand";
    case HOSTREQ_VERSION:
        return "version";
    case HOSTREQ_MESSAGE:
        return "message";
    case HOSTREQ_LONGRESULT:
        return "long result";
    default:
        return "unknown";
    }
}

std::u16string ModuleName(const HostedModule& module) {
    return FromUtf8(PathText(module.path.filename()));
}

// Keeps a count raised while it lives.
struct Deeper {
    explicit Deeper(int* depth) : depth(depth) { ++*depth; }
    ~Deeper() { --*depth; }
    int* depth;
};

intptr_t ServiceFunction(HostInfo* info, int32_t request, void* argument) {
    // Nothing may unwind into the module, which has no unwind tables.
    try {
        return static_cast<Host*>(info->reserved1)->Answer(request, argument);
    } catch (...) {
        return HOSTANSWER_DECLINED;
    }
}

} // namespace

std::u16string TraceText(const std::u16string& text) {
    size_t shown = text.size();
    if (shown > TRACE_TEXT_UNITS) {
        shown = TRACE_TEXT_UNITS;
        if (IsHighSurrogate(text[shown - 1]) && IsLowSurrogate(text[shown])) --shown;
    }
    std::u16string quoted = u"\"";
    for (size_t i = 0; i < shown; ++i) {
        char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < shown && IsLowSurrogate(text[i + 1])) {
            quoted += c;
            quoted += text[++i];
        } else if (c == u'\\' || c == u'"') {
            quoted += u'\\';
            quoted += c;
        } else if (c == u'\n') {
            quoted += u"\\n";
        } else if (c == u'\r') {
            quoted += u"\\r";
        } else if (c == u'\t') {
            quoted += u"\\t";
        } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            quoted += u"\\x" + Hex(c, 2);
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            quoted += u"\\u" + Hex(c, 4);
        } else {
            quoted += c;
        }
    }
    quoted += u'"';
    if (shown < text.size()) quoted += Ascii("... (" + std::to_string(text.size()) + " units)");
    return quoted;
}

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
    auto module = std::make_unique<HostedModule>();
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
    HostedModule* loaded = module.get();
    modules_.push_back(std::move(module)); // unloaded with the host from here on
    if (loaded->entry == nullptr) {
        *error = "the module " + PathText(path) + " has no ModuleEntry";
        return false;
    }
    std::vector<char16_t> title(1024, 0);
    ModuleInfoRequest request{0, 0, title.data()};
    std::u16string name = ModuleName(*loaded);
    Trace(name + u": ModuleEntry(0 identify, selector 0)");
    int32_t answer = loaded->entry(&info_, MODCALL_INFO, reinterpret_cast<intptr_t>(&request));
    if (answer != RESULT_SERVED) {
        Trace(name + u": -> " + Ascii(std::to_string(answer)));
        *error = "the module " + PathText(path) + " answered the identification with " +
                 std::to_string(answer);
        return false;
    }
    title.back() = 0;
    loaded->title = TextAt(title.data());
    loaded->servedKinds = request.servedKinds;
    Trace(name + u": -> 1, served kinds " + Ascii(std::to_string(request.servedKinds)) +
          u", title " + TraceText(loaded->title));
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
        if (options_.trace) {
            std::u16string line = ModuleName(*module) + u": ModuleEntry(" + KindText(kind) + u", " +
                                  TraceText(name) + u" key 0x" + Hex(call.nameKey, 8) + u", " +
                                  Ascii(std::to_string(params.size())) +
                                  (params.size() == 1 ? u" parameter" : u" parameters");
            for (size_t i = 0; i < params.size(); ++i)
                line += (i == 0 ? u": " : u", ") + TraceText(params[i]);
            Trace(line + u")");
        }
        calls_.push_back(&inProgress);
        int32_t answer;
        {
            Deeper deeper(&traceDepth_);
            answer = module->entry(&info_, kind, reinterpret_cast<intptr_t>(&call));
        }
        calls_.pop_back();
        if (answer == RESULT_SERVED && kind == MODCALL_FUNCTION)
            *value = inProgress.hasLongResult ? inProgress.longResult
                                              : TextAt(result.data(), result.size());
        if (options_.trace) {
            std::u16string line = ModuleName(*module) + u": -> " + Ascii(std::to_string(answer));
            if (answer == RESULT_NOT_SERVED)
                line += u", not served";
            else if (answer != RESULT_SERVED)
                line += u", failed";
            else if (kind == MODCALL_FUNCTION)
                line += u", value " + TraceText(*value);
            Trace(line);
        }
        if (answer == RESULT_NOT_SERVED) continue;
        return answer == RESULT_SERVED ? RESULT_SERVED : RESULT_FAILED;
    }
    return RESULT_NOT_SERVED;
}

void Host::Trace(const std::u16string& line) {
    if (options_.trace)
        err_(u"trace: " + std::u16string(2 * static_cast<size_t>(traceDepth_), u' ') + line +
             u"\n");
}

intptr_t Host::Answer(int32_t request, void* argument) {
    if (!options_.trace) return AnswerHere(request, argument);
    // The text as the module sent it (an expansion overwrites it). Only the
    // known requests carry a text; nothing else is read.
    bool hasText = request == HOSTREQ_EXECUTE || request == HOSTREQ_EXPAND ||
                   request == HOSTREQ_MESSAGE || request == HOSTREQ_LONGRESULT;
    std::u16string line = Ascii("request " + std::to_string(request) + " " + RequestName(request));
    if (hasText)
        line += argument == nullptr ? u" null"
                                    : u" " + TraceText(request == HOSTREQ_EXPAND
                                                           ? TextAt(argument, RESULT_BUFFER_UNITS)
                                                           : TextAt(argument));
    intptr_t answer;
    {
        // Whatever the request causes (lines run, modules called) comes
        // first, one step further in.
        Deeper deeper(&traceDepth_);
        answer = AnswerHere(request, argument);
    }
    line += u" -> " + Ascii(std::to_string(answer));
    if (request == HOSTREQ_EXPAND && argument != nullptr)
        line += u", buffer " + TraceText(TextAt(argument, RESULT_BUFFER_UNITS));
    Trace(line);
    return answer;
}

intptr_t Host::AnswerHere(int32_t request, void* argument) {
    switch (request) {
    case HOSTREQ_MESSAGE:
        if (!options_.hostMessages || argument == nullptr) return HOSTANSWER_DECLINED;
        err_(TextAt(argument) + u"\n");
        return HOSTANSWER_DONE;
    case HOSTREQ_LONGRESULT:
        // Only a function has a value to take.
        if (!options_.longResults || argument == nullptr || calls_.empty() ||
            calls_.back()->kind != MODCALL_FUNCTION)
            return HOSTANSWER_DECLINED;
        calls_.back()->longResult = TextAt(argument);
        calls_.back()->hasLongResult = true;
        return HOSTANSWER_DONE;
    case HOSTREQ_VERSION:
        return options_.version;
    case HOSTREQ_EXPAND: {
        if (argument == nullptr) return HOSTANSWER_DECLINED;
        char16_t* buffer = static_cast<char16_t*>(argument);
        std::u16string expanded;
        if (interpreter_.Expand(TextAt(buffer, RESULT_BUFFER_UNITS), &expanded) != STATUS_OK)
            return HOSTANSWER_DECLINED; // the buffer keeps the macro text
        size_t n = std::min(expanded.size(), RESULT_BUFFER_UNITS - 1);
        std::memcpy(buffer, expanded.data(), n * sizeof(char16_t));
        buffer[n] = 0;
        return HOSTANSWER_DONE;
    }
    case HOSTREQ_EXECUTE:
        if (argument == nullptr) return HOSTANSWER_DECLINED;
        return interpreter_.RunLine(TextAt(argument)) == STATUS_OK ? HOSTANSWER_DONE
                                                                   : HOSTANSWER_DECLINED;
    default:
        return HOSTANSWER_DECLINED;
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

} // namespace murlin_host
