// The one rule for numbers in texts: parameters, and the dates of the
// platform's era list. Depends on nothing else of the module.
#pragma once

#include <stdint.h>

// Blanks (U+0020 only), then ASCII digits, modulo 2^32. The cursor is left on
// the first unit not consumed; it never passes the text's NUL.
inline uint32_t ReadDecimal(const char16_t*& cursor) {
    while (*cursor == u' ')
        ++cursor;
    uint32_t value = 0;
    // Tested at the foot: one jump a digit, when built for size too.
    uint32_t digit = static_cast<uint32_t>(*cursor) - u'0';
    if (digit <= 9) {
        do {
            value = value * 10u + digit;
            digit = static_cast<uint32_t>(*++cursor) - u'0';
        } while (digit <= 9);
    }
    return value;
}
