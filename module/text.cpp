#include "module/text.h"

size_t TextLength(const char16_t* text) {
    // Four units a round: long texts (STDIN, STDOUT) are measured often.
    // Each unit is still read in order, never one past the NUL.
    const char16_t* end = text;
    for (;; end += 4) {
        if (end[0] == 0) return static_cast<size_t>(end - text);
        if (end[1] == 0) return static_cast<size_t>(end - text) + 1;
        if (end[2] == 0) return static_cast<size_t>(end - text) + 2;
        if (end[3] == 0) return static_cast<size_t>(end - text) + 3;
    }
}

bool TextEqual(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        if (*a != *b) return false;
        if (*a == 0) return true;
    }
}

bool TextContains(const char16_t* text, const char16_t* needle) {
    for (;; ++text) {
        const char16_t* t = text;
        const char16_t* n = needle;
        while (*n != 0 && *t == *n) {
            ++t;
            ++n;
        }
        if (*n == 0) return true;
        if (*text == 0) return false;
    }
}

void CopyUnits(char16_t* destination, const char16_t* source, size_t count) {
    for (size_t i = 0; i < count; ++i)
        destination[i] = source[i];
    destination[count] = 0;
}

size_t CopyTextBounded(char16_t* destination, const char16_t* source, size_t limit) {
    size_t i = 0;
    for (; i < limit && source[i] != 0; ++i)
        destination[i] = source[i];
    destination[i] = 0;
    return i;
}
