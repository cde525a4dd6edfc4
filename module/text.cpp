#include "module/text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Four units a round: long texts (STDIN, STDOUT) are measured often. Each
// unit is read in order, never one past the NUL.
size_t TextLengthByUnits(const char16_t* text) {
    const char16_t* end = text;
    for (;; end += 4) {
        if (end[0] == 0) return static_cast<size_t>(end - text);
        if (end[1] == 0) return static_cast<size_t>(end - text) + 1;
        if (end[2] == 0) return static_cast<size_t>(end - text) + 2;
        if (end[3] == 0) return static_cast<size_t>(end - text) + 3;
    }
}

} // namespace

#if defined(__SSE2__)
// Eight units a round, in aligned blocks of 16 bytes. An aligned block lies
// within one page, so the units of the last block that follow the NUL are
// read without any fault; the address checker is told so.
__attribute__((no_sanitize_address)) size_t TextLength(const char16_t* text) {
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if ((address & 1) != 0) return TextLengthByUnits(text);
    const __m128i zero = _mm_setzero_si128();
    auto* block = reinterpret_cast<const __m128i*>(address & ~uintptr_t{15});
    // Units before the text in its first block do not count.
    unsigned nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(*block, zero))) &
                    (~0u << (address & 15));
    while (nuls == 0) {
        ++block;
        nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(*block, zero)));
    }
    auto nul = reinterpret_cast<uintptr_t>(block) + static_cast<unsigned>(__builtin_ctz(nuls));
    return (nul - address) / sizeof(char16_t);
}
#else
size_t TextLength(const char16_t* text) {
    return TextLengthByUnits(text);
}
#endif

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
