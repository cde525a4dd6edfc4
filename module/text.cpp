#include "module/text.h"

#if defined(__SSE2__) && !defined(MURLIN_PLAIN_SCANS)
#include <emmintrin.h>
#endif

namespace {

// Unit by unit: the plain scan, and a text at an odd address, which no
// aligned block or word of units holds.
size_t UnitsToNul(const char16_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return n;
}

#if !defined(MURLIN_PLAIN_SCANS)
#if defined(__SSE2__)
// Which units of the aligned block of 16 bytes at address are NUL: two bits
// each.
unsigned NulBitsAt(uintptr_t address) {
    __m128i units = _mm_load_si128(reinterpret_cast<const __m128i*>(address));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, _mm_setzero_si128())));
}

// True when one of the four aligned blocks of 16 bytes at address holds a
// NUL.
bool NulInFourAt(uintptr_t address) {
    auto* b = reinterpret_cast<const __m128i*>(address);
    const __m128i zero = _mm_setzero_si128();
    __m128i any =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(b[0], zero), _mm_cmpeq_epi16(b[1], zero)),
                     _mm_or_si128(_mm_cmpeq_epi16(b[2], zero), _mm_cmpeq_epi16(b[3], zero)));
    return _mm_movemask_epi8(any) != 0;
}

// The bytes from address, a text's first unit, to its NUL; when the NUL does
// not come before the address stop, some count that reaches stop. Aligned
// blocks of 16 bytes, the units before the text in its first block not
// counted, up to a boundary of 64 bytes; then 64 bytes a round, which lie
// within one page as each block does. Kept apart from its callers: built
// into them, its vector registers would make a 32-bit caller align its stack
// on every call, even for a text it never scans.
__attribute__((noinline)) size_t BytesToNul(uintptr_t address, uintptr_t stop) {
    uintptr_t block = address & ~uintptr_t{15};
    unsigned nuls = NulBitsAt(block) & (~0u << (address & 15));
    while (nuls == 0 && (block & 63) != 48) {
        block += 16;
        if (block >= stop) return stop - address;
        nuls = NulBitsAt(block);
    }
    if (nuls == 0) {
        for (block += 16; !NulInFourAt(block); block += 64)
            if (block + 64 >= stop) return stop - address;
        while ((nuls = NulBitsAt(block)) == 0)
            block += 16;
    }
    return block + static_cast<unsigned>(__builtin_ctz(nuls)) - address;
}
#else
// BytesToNul without vector registers: units up to a word boundary, then
// aligned words of two or four units, each tested at once for a zero unit
// (exact as to whether; the unit itself is then found one by one).
size_t BytesToNul(uintptr_t address, uintptr_t stop) {
    auto* unit = reinterpret_cast<const char16_t*>(address);
    for (; reinterpret_cast<uintptr_t>(unit) % sizeof(uintptr_t) != 0; ++unit) {
        if (reinterpret_cast<uintptr_t>(unit) >= stop) return stop - address;
        if (*unit == 0) return reinterpret_cast<uintptr_t>(unit) - address;
    }
    for (;; unit += sizeof(uintptr_t) / sizeof(char16_t)) {
        if (reinterpret_cast<uintptr_t>(unit) >= stop) return stop - address;
        uintptr_t word;
        __builtin_memcpy(&word, unit, sizeof word);
        if (((word - LANE_ONES) & ~word & LANE_HIGHS) != 0) break;
    }
    while (*unit != 0)
        ++unit;
    return reinterpret_cast<uintptr_t>(unit) - address;
}
#endif
#endif

} // namespace

size_t TextLength(const char16_t* text) {
#if defined(MURLIN_PLAIN_SCANS)
    return UnitsToNul(text, SIZE_MAX);
#else
    // Most parameters are short. Their first units are looked at one by
    // one, in a row of tests that jump only at the NUL, before a scan that
    // costs a call and holds vector registers.
    constexpr size_t SHORT_TEXT_UNITS = 8; // as unrolled
#pragma GCC unroll 8
    for (size_t n = 0; n < SHORT_TEXT_UNITS; ++n)
        if (text[n] == 0) return n;
    const char16_t* rest = text + SHORT_TEXT_UNITS;
    uintptr_t address = reinterpret_cast<uintptr_t>(rest);
    if ((address & 1) != 0) return SHORT_TEXT_UNITS + UnitsToNul(rest, SIZE_MAX);
    return SHORT_TEXT_UNITS + BytesToNul(address, UINTPTR_MAX) / sizeof(char16_t);
#endif
}

size_t TextLengthWithin(const char16_t* text, size_t limit) {
#if defined(MURLIN_PLAIN_SCANS)
    return UnitsToNul(text, limit);
#else
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if ((address & 1) != 0) return UnitsToNul(text, limit);
    uintptr_t room = (UINTPTR_MAX - address) / sizeof(char16_t);
    uintptr_t stop = limit < room ? address + limit * sizeof(char16_t) : UINTPTR_MAX;
    size_t n = BytesToNul(address, stop) / sizeof(char16_t);
    return n < limit ? n : limit;
#endif
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

namespace {

// The units of a Word at source and at source + count - units, both read
// before either is written: count units in two moves that may overlap each
// other, for any count from units to twice that, touching no unit outside.
template <typename Word>
void CopyEnds(char16_t* destination, const char16_t* source, size_t count) {
    constexpr size_t units = sizeof(Word) / sizeof(char16_t);
    Word first, last;
    __builtin_memcpy(&first, source, sizeof first);
    __builtin_memcpy(&last, source + count - units, sizeof last);
    __builtin_memcpy(destination, &first, sizeof first);
    __builtin_memcpy(destination + count - units, &last, sizeof last);
}

} // namespace

// A unit repeated: 2 to 8 of them in two stores that may overlap, more in
// a loop.
void FillUnits(char16_t* destination, char16_t unit, size_t count) {
    if (count - 2 <= 6) {
        uint64_t four = unit * 0x0001000100010001ull;
        if (count >= 4) {
            __builtin_memcpy(destination, &four, 8);
            __builtin_memcpy(destination + count - 4, &four, 8);
        } else {
            __builtin_memcpy(destination, &four, 4);
            __builtin_memcpy(destination + count - 2, &four, 4);
        }
        return;
    }
    for (size_t i = 0; i < count; ++i)
        destination[i] = unit;
}

// Most values are short: 2 to 8 units go in two moves instead of a loop.
void CopyUnits(char16_t* destination, const char16_t* source, size_t count) {
    if (count - 2 <= 6) {
        if (count >= 4)
            CopyEnds<uint64_t>(destination, source, count);
        else
            CopyEnds<uint32_t>(destination, source, count);
    } else {
        for (size_t i = 0; i < count; ++i)
            destination[i] = source[i];
    }
    destination[count] = 0;
}

size_t CopyTextBounded(char16_t* destination, const char16_t* source, size_t limit) {
    size_t i = 0;
    for (; i < limit && source[i] != 0; ++i)
        destination[i] = source[i];
    destination[i] = 0;
    return i;
}
