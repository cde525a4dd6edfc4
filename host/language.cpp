// The command language: parameter splitting, expansion of macro functions
// innermost first, commands, and the host's own names. The UTF-8 codec that
// the host's text passes through stands first.
#include "host/host.h"
#include "platform/win32_emulation/codepage.h"

namespace murlin_host {

constexpr uint32_t CP_UTF8 = 65001;

// ---- Text ------------------------------------------------------------------

// The stand-ins' converter, which reads text as the module does in every build.
std::u16string FromUtf8(const std::string& utf8) {
    if (utf8.empty()) return std::u16string();
    auto count = static_cast<int32_t>(utf8.size());
    std::u16string out(static_cast<size_t>(DecodeBytes(CP_UTF8, utf8.data(), count, nullptr, 0)),
                       u'\0');
    DecodeBytes(CP_UTF8, utf8.data(), count, &out[0], static_cast<int32_t>(out.size()));
    return out;
}

std::string ToUtf8(const std::u16string& text) {
    if (text.empty()) return std::string();
    auto count = static_cast<int32_t>(text.size());
    std::string out(static_cast<size_t>(EncodeWide(CP_UTF8, text.data(), count, nullptr, 0)), '\0');
    EncodeWide(CP_UTF8, text.data(), count, &out[0], static_cast<int32_t>(out.size()));
    return out;
}

// ---- Parsing -----------------------------------------------------------------

bool IsNameUnit(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'_';
}

std::vector<std::u16string> SplitParams(const std::u16string& text) {
    std::vector<std::u16string> params;
    if (text.empty()) return params;
    std::u16string current;
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == u'"') {
                current += u'"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (quoted) {
            current += c;
        } else if (c == u'(') {
            ++depth;
            current += c;
        } else if (c == u')') {
            if (depth > 0) --depth;
            current += c;
        } else if (c == u',' && depth == 0) {
            params.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    params.push_back(current);
    return params;
}

size_t FindClosingParenthesis(const std::u16string& text, size_t open) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = open; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'(')
            ++depth;
        else if (c == u')' && --depth == 0)
            return i;
    }
    return std::u16string::npos;
}

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

} // namespace

bool ParseCommand(const std::u16string& line, std::u16string* name, std::u16string* params) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i >= line.size() || line[i] != u'*') return false;
    size_t start = ++i;
    while (i < line.size() && IsNameUnit(line[i]))
        ++i;
    if (i == start) return false;
    *name = line.substr(start, i - start);
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    *params = line.substr(i);
    return true;
}

// ---- Running lines -------------------------------------------------------------

void Interpreter::Error(const std::string& message) {
    err_(FromUtf8("murlin-host: " + message + "\n"));
}

Status Interpreter::Nested(const std::function<Status()>& work) {
    if (depth_ >= MAX_DEPTH) {
        Error("command lines nest more than " + std::to_string(MAX_DEPTH) + " deep");
        if (deferred_ == STATUS_OK) deferred_ = STATUS_FAILED;
        return STATUS_FAILED;
    }
    bool outermost = depth_ == 0;
    if (outermost) deferred_ = STATUS_OK;
    ++depth_;
    Status status = work();
    --depth_;
    if (outermost) {
        if (status == STATUS_OK) status = deferred_;
        deferred_ = STATUS_OK;
        if (settingsLocked_) {
            settings_->Unlock();
            settingsLocked_ = false;
        }
    } else if (status != STATUS_OK && deferred_ == STATUS_OK) {
        // A line or expansion that a module asked for failed: the module
        // goes on, and the run ends with this status after the outer line.
        deferred_ = status;
    }
    return status;
}

Status Interpreter::RunLine(const std::u16string& line) {
    return Nested([&] { return RunLineHere(line); });
}

Status Interpreter::Expand(const std::u16string& text, std::u16string* result) {
    return Nested([&] { return ExpandHere(text, result); });
}

Status Interpreter::RunLineHere(const std::u16string& line) {
    std::u16string name, paramText;
    if (ParseCommand(line, &name, &paramText)) return CallCommand(name, paramText);
    std::u16string expanded;
    Status status = ExpandHere(line, &expanded);
    if (status == STATUS_OK) out_(expanded + u"\n");
    return status;
}

Status Interpreter::ExpandHere(const std::u16string& text, std::u16string* result) {
    std::u16string out;
    size_t i = 0, n = text.size();
    while (i < n) {
        char16_t c = text[i];
        if (c != u'%' || i + 1 >= n) {
            out += c;
            ++i;
            continue;
        }
        if (text[i + 1] == u'%') {
            out += u'%';
            i += 2;
            continue;
        }
        size_t j = i + 2;
        while (j < n && IsNameUnit(text[j]))
            ++j;
        if (text[i + 1] != u'*' || j == i + 2) {
            out += c; // a lone percent sign stays as it is
            ++i;
            continue;
        }
        std::u16string name = text.substr(i + 2, j - i - 2);
        std::vector<std::u16string> params;
        if (j < n && text[j] == u'(') {
            size_t close = FindClosingParenthesis(text, j);
            if (close == std::u16string::npos) {
                Error("no closing parenthesis after %*" + ToUtf8(name) + "(");
                return STATUS_FAILED;
            }
            std::u16string inner;
            Status status = ExpandHere(text.substr(j + 1, close - j - 1), &inner);
            if (status != STATUS_OK) return status;
            params = SplitParams(inner);
            i = close + 1;
        } else {
            i = j; // %*name without parentheses: no parameters
        }
        std::u16string value;
        Status status = CallFunction(name, params, &value);
        if (status != STATUS_OK) return status;
        out += value;
    }
    *result = out;
    return STATUS_OK;
}

Settings* Interpreter::UsableSettings(Status* status) {
    if (settings_ == nullptr) {
        Error("no settings file: no configuration directory; name one with --settings FILE");
        *status = STATUS_SETUP;
        return nullptr;
    }
    // From a line's first use of the settings to the end of the line, no
    // other host reads or writes them, so a rotation's read of its position
    // and its store of the next one are one step.
    if (!settingsLocked_) {
        std::string error;
        if (!settings_->Lock(&error)) {
            Error(error);
            *status = STATUS_SETUP;
            return nullptr;
        }
        settingsLocked_ = true;
    }
    return settings_;
}

Status Interpreter::CallFunction(const std::u16string& name,
                                 const std::vector<std::u16string>& params, std::u16string* value) {
    std::u16string upper = UpperAscii(name);
    if (upper == u"GETCUST") {
        if (params.size() != 1) {
            Error("usage: %*getcust(_User:NAME) or %*getcust(\"ID\")");
            return STATUS_FAILED;
        }
        Status status = STATUS_OK;
        Settings* settings = UsableSettings(&status);
        if (settings == nullptr) return status;
        *value = settings->Get(params[0]);
        return STATUS_OK;
    }
    value->clear();
    int32_t answer = dispatch_(MODCALL_FUNCTION, upper, params, value);
    if (answer == RESULT_NOT_SERVED) {
        Error("no module serves the function %*" + ToUtf8(upper));
        return STATUS_NOT_SERVED;
    }
    return answer == RESULT_SERVED ? STATUS_OK : STATUS_FAILED;
}

Status Interpreter::CallCommand(const std::u16string& name, const std::u16string& paramText) {
    std::u16string upper = UpperAscii(name);
    std::u16string expanded;
    Status status = ExpandHere(paramText, &expanded);
    if (status != STATUS_OK) return status;
    if (upper == u"SETCUST" || upper == u"CUSTOMIZE") return Setting(upper, expanded);
    std::u16string unused;
    int32_t answer = dispatch_(MODCALL_COMMAND, upper, SplitParams(expanded), &unused);
    if (answer == RESULT_NOT_SERVED) {
        Error("no module serves the command *" + ToUtf8(upper));
        return STATUS_NOT_SERVED;
    }
    return answer == RESULT_SERVED ? STATUS_OK : STATUS_FAILED;
}

// *setcust NAME=VALUE and *customize ID=VALUE: everything after the first
// equals sign is the value, exactly as it stands.
Status Interpreter::Setting(const std::u16string& command, const std::u16string& text) {
    size_t eq = text.find(u'=');
    if (eq == std::u16string::npos || eq == 0) {
        Error(command == u"SETCUST" ? "usage: *setcust _User:NAME=VALUE"
                                    : "usage: *customize ID=VALUE");
        return STATUS_FAILED;
    }
    Status status = STATUS_OK;
    Settings* settings = UsableSettings(&status);
    if (settings == nullptr) return status;
    std::string error;
    if (!settings->Set(text.substr(0, eq), text.substr(eq + 1), &error)) {
        Error(error);
        return STATUS_SETUP;
    }
    return STATUS_OK;
}

} // namespace murlin_host
