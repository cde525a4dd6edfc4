// murlin-host, the stand-in Ombry host: the command language, the host
// settings, and the modules it loads. An ordinary program: it uses the C++
// standard library freely; only the records of module/module_api.h cross into
// the modules.
//
// Text is UTF-16 inside (std::u16string), UTF-8 on the Linux command line, in
// files and on the standard streams.
#pragma once

#include "module/module_api.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace murlin_host {

// Exit statuses of murlin-host, and the outcome of every line and expansion.
enum Status : int {
    STATUS_OK = 0,        // every line ran
    STATUS_FAILED = 1,    // a module answered -1 (its message has been shown), or a host
                          // command or function was used wrongly
    STATUS_SETUP = 2,     // a module could not be loaded, a file could not be read or
                          // written, or the options were wrong
    STATUS_NOT_SERVED = 3 // no module serves a name
};

// ---- Text ------------------------------------------------------------------

// Malformed UTF-8 and unpaired surrogates become U+FFFD.
std::u16string FromUtf8(const std::string& utf8);
std::string ToUtf8(const std::u16string& text);
// ASCII letters upper-cased, everything else as it is.
std::u16string UpperAscii(std::u16string text);
// A path from UTF-16 text, and a path as UTF-8 for messages.
std::filesystem::path PathFrom(const std::u16string& text);
std::string PathText(const std::filesystem::path& path);
// The lines of a UTF-8 text: a byte order mark dropped, CR LF or LF ends.
std::vector<std::u16string> SplitLines(const std::string& utf8);
// The whole file; false when it exists but cannot be read (a missing file
// is read as absent: *exists false).
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes, bool* exists,
                   std::string* error);

// ---- The command language --------------------------------------------------

// A letter, digit or underscore: the units a command or function name is made of.
bool IsNameUnit(char16_t c);

// The parameters of a function or command, split at the commas that stand
// outside double quotes and outside nested parentheses. Double quotes group
// and are removed; two double quotes inside a quoted part stand for one.
// Nothing is trimmed. An empty text has no parameters.
std::vector<std::u16string> SplitParams(const std::u16string& text);

// The index of the parenthesis that closes the one at `open`, counting nested
// parentheses outside double quotes; npos when it is never closed.
size_t FindClosingParenthesis(const std::u16string& text, size_t open);

// A command line that begins (after blanks) with '*' and a name: the name as
// written and the parameter text after the blanks that follow the name.
bool ParseCommand(const std::u16string& line, std::u16string* name, std::u16string* params);

// The host settings, kept in a UTF-8 file of NAME=VALUE lines. Every change
// rewrites the whole file through a temporary file and a rename, keeping
// every line it does not change byte for byte. Hosts that share the file
// take turns through a lock file beside it (FILE.lock, left in place).
class Settings {
  public:
    explicit Settings(std::filesystem::path file) : file_(std::move(file)) {}
    ~Settings() { Unlock(); }
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;
    const std::filesystem::path& File() const { return file_; }
    // Reads the file (a missing file holds no settings). False with a reason
    // when it cannot be read.
    bool Load(std::string* error);
    // Waits for the lock and reads the file afresh under it; every Get and Set
    // until Unlock is then one step for the other hosts. Where no lock file
    // can be made (a directory that cannot be written), the file is read
    // without one. False with a reason when the file cannot be read.
    bool Lock(std::string* error);
    void Unlock();
    // Empty when unset.
    std::u16string Get(const std::u16string& name) const;
    // Stores the value and rewrites the file; false with a reason when it
    // cannot be written (the old file is then left as it was). Outside Lock,
    // it locks, reads and rewrites in one step of its own.
    bool Set(const std::u16string& name, const std::u16string& value, std::string* error);

    // The file's bytes with one setting changed: the last line that sets
    // the name is replaced, or a line is added; every other byte stays.
    static std::string Rewrite(const std::string& bytes, const std::u16string& name,
                               const std::u16string& value);
    static std::map<std::u16string, std::u16string> Parse(const std::string& utf8);

  private:
    std::filesystem::path file_;
    std::string bytes_; // the file as last read or written
    std::map<std::u16string, std::u16string> values_;
    bool locked_ = false;
#if defined(_WIN32)
    void* lockFile_ = nullptr;
#else
    int lockFile_ = -1;
#endif
};

// murlin/settings.ini under the user's configuration directory
// ($XDG_CONFIG_HOME or ~/.config; %APPDATA% on Windows).
bool DefaultSettingsPath(std::filesystem::path* path, std::string* error);

// Runs command lines: expands macro functions, runs commands, serves the host
// settings, and hands every other name to a dispatcher.
class Interpreter {
  public:
    // Calls a function (MODCALL_FUNCTION) or command (MODCALL_COMMAND) with
    // its upper-case name; returns RESULT_SERVED (value set for a function),
    // RESULT_NOT_SERVED (no one serves it) or RESULT_FAILED (message shown).
    using Dispatcher =
        std::function<int32_t(int32_t kind, const std::u16string& name,
                              const std::vector<std::u16string>& params, std::u16string* value)>;
    using Writer = std::function<void(const std::u16string& text)>;

    // Lines may nest (a module runs a line that runs a module ...) this deep.
    static constexpr int MAX_DEPTH = 32;

    Interpreter(Dispatcher dispatch, Writer out, Writer err, Settings* settings)
        : dispatch_(std::move(dispatch)), out_(std::move(out)), err_(std::move(err)),
          settings_(settings) {}

    // One command line, as given on the command line, in a file, or by a
    // module's HOSTREQ_EXECUTE. A failure inside a line that a module ran is
    // reported when the outermost line ends.
    Status RunLine(const std::u16string& line);
    // Macro text with every function replaced by its value (HOSTREQ_EXPAND).
    Status Expand(const std::u16string& text, std::u16string* result);

  private:
    Status Nested(const std::function<Status()>& work);
    Status RunLineHere(const std::u16string& line);
    Status ExpandHere(const std::u16string& text, std::u16string* result);
    Status CallFunction(const std::u16string& name, const std::vector<std::u16string>& params,
                        std::u16string* value);
    Status CallCommand(const std::u16string& name, const std::u16string& paramText);
    Status Setting(const std::u16string& command, const std::u16string& text);
    Settings* UsableSettings(Status* status);
    void Error(const std::string& message);

    Dispatcher dispatch_;
    Writer out_;
    Writer err_;
    Settings* settings_;
    int depth_ = 0;
    Status deferred_ = STATUS_OK;
    bool settingsLocked_ = false; // held from a line's first use to its end
};

// ---- Modules -----------------------------------------------------------------

struct HostOptions {
    bool hostMessages = true; // HOSTREQ_MESSAGE answered HOSTANSWER_DONE (--no-host-message: 0)
    bool longResults = true;  // HOSTREQ_LONGRESULT answered HOSTANSWER_DONE
                              // (--decline-long-results: 0)
    intptr_t version = 11800; // HOSTREQ_VERSION (--host-version N): 1.18
    bool trace = false;       // every call, request and result on standard error (--trace)
};

// A text for a trace line: quoted, control characters and unpaired surrogates
// escaped, and cut after TRACE_TEXT_UNITS units with the whole length shown.
constexpr size_t TRACE_TEXT_UNITS = 200;
std::u16string TraceText(const std::u16string& text);

// A module the host has loaded (and, once Load succeeds, identified); owned
// by the Host, which unloads it when it goes.
struct HostedModule {
    std::filesystem::path path;          // absolute where it could be made so
    void* handle = nullptr;              // the library: HMODULE or dlopen's handle
    ModuleEntryFunction entry = nullptr; // null when the library has no ModuleEntry
    std::u16string title;                // from the identification request
    uint32_t servedKinds = 0;            // likewise
};

// The host proper: its modules, its HostInfo and service function, and an
// interpreter whose names go to the modules in load order.
class Host {
  public:
    Host(HostOptions options, Interpreter::Writer out, Interpreter::Writer err, Settings* settings);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads the module and sends it the identification request.
    bool Load(const std::filesystem::path& path, std::string* error);
    const std::vector<std::unique_ptr<HostedModule>>& Modules() const { return modules_; }
    Interpreter& Lines() { return interpreter_; }

    // The answer to one request of a module (HOSTREQ_...).
    intptr_t Answer(int32_t request, void* argument);

  private:
    struct Call;
    intptr_t AnswerHere(int32_t request, void* argument);
    void Trace(const std::u16string& line);
    int32_t Dispatch(int32_t kind, const std::u16string& name,
                     const std::vector<std::u16string>& params, std::u16string* value);

    HostOptions options_;
    Interpreter::Writer err_;
    HostInfo info_{};
    std::vector<std::unique_ptr<HostedModule>> modules_;
    std::vector<Call*> calls_; // the module calls in progress, innermost last
    int traceDepth_ = 0;       // calls and requests in progress, for indenting the trace
    Interpreter interpreter_;
};

// The module built beside the running program: Murlin64 or Murlin by its width.
std::filesystem::path DefaultModulePath();

// The whole program: arguments (without the program name) to exit status.
int Main(const std::vector<std::u16string>& args);

} // namespace murlin_host
