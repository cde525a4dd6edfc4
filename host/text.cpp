// The host's text helpers: paths, lines and ASCII case.
#include "host/host.h"

namespace murlin_host {

std::filesystem::path PathFrom(const std::u16string& text) {
#if defined(_WIN32)
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
    return std::filesystem::path(ToUtf8(text));
#endif
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

} // namespace murlin_host
