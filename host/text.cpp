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
    // Split first, then decode each line on its own: a sequence cut short at
    // the end of a line then reads the same whether a line end follows or not.
    std::vector<std::u16string> lines;
    size_t start = utf8.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (start < utf8.size()) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos) end = utf8.size();
        size_t contentEnd = end > start && utf8[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(FromUtf8(utf8.substr(start, contentEnd - start)));
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
