// The command language: text conversion, parameter splitting, expansion of
// macro functions innermost first, commands, and the host's own names.
#include "host/host.h"

namespace murlin_host {

// ---- Text ------------------------------------------------------------------

std::u16string FromUtf8(const std::string& utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0, n = utf8.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        uint32_t cp;
        size_t extra;
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            extra = 3;
        } else {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < n; ++j) {
            unsigned char c = static_cast<unsigned char>(utf8[i + j]);
            if ((c & 0xC0) != 0x80) break;
            cp = (cp << 6) | (c & 0x3F);
        }
        bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (j <= extra || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\uFFFD';
            i += j; // the valid lead and continuation units are one replacement
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += extra + 1;
    }
    return out;
}

std::string ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::string PathText(const std::filesystem::path& path) {
#if defined(_WIN32)
    std::wstring wide = path.native();
    return ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
    return path.native();
#endif
}

std::vector<std::u16string> SplitLines(const std::string& utf8) {
    std::vector<std::u16string> lines;
    std::u16string text = FromUtf8(utf8);
    if (!text.empty() && text[0] == u'\uFEFF') text.erase(0, 1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        std::u16string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::u16string UpperAscii(std::u16string text) {
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return text;
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
    if (answer == 0) {
        Error("no module serves the function %*" + ToUtf8(upper));
        return STATUS_NOT_SERVED;
    }
    return answer == 1 ? STATUS_OK : STATUS_FAILED;
}

Status Interpreter::CallCommand(const std::u16string& name, const std::u16string& paramText) {
    std::u16string upper = UpperAscii(name);
    std::u16string expanded;
    Status status = ExpandHere(paramText, &expanded);
    if (status != STATUS_OK) return status;
    if (upper == u"SETCUST" || upper == u"CUSTOMIZE") return Setting(upper, expanded);
    std::u16string unused;
    int32_t answer = dispatch_(MODCALL_COMMAND, upper, SplitParams(expanded), &unused);
    if (answer == 0) {
        Error("no module serves the command *" + ToUtf8(upper));
        return STATUS_NOT_SERVED;
    }
    return answer == 1 ? STATUS_OK : STATUS_FAILED;
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
