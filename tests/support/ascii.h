// Texts of the tests, between ASCII and UTF-16.
#pragma once

#include <string>

// ASCII (or any text of single units) widened unit by unit.
inline std::u16string U(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// A UTF-16 text for a test's message: ASCII as it is, every other unit '#'.
inline std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '#';
    return out;
}
