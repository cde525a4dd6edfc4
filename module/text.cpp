#include "module/text.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Unit by unit, for a text at an odd address, which no aligned block or word
// of units holds.
size_t TextLengthWithinByUnits(const char16_t* text, size_t limit) {
    size_t n = 0;
    while (n < limit && text[n] != 0)
        ++n;
    return n;
}

} // namespace

#if defined(__SSE2__)
namespace {

// True when one of the eight blocks holds a NUL: each looked at.
MURLIN_READS_PAST_NUL __attribute__((noinline)) bool AnyNulIn(const __m128i* b) {
    const __m128i zero = _mm_setzero_si128();
    __m128i any = zero;
    for (int i = 0; i < 8; ++i)
        any = _mm_or_si128(any, _mm_cmpeq_epi16(b[i], zero));
    return _mm_movemask_epi8(any) != 0;
}

// The first group of eight blocks from group on that holds a NUL, or the
// first group at or past the address stop. The least unit of a group,
// signed, is above zero for most texts, which settles it in one test; a unit
// of 0x8000 or above makes it negative, and then each block is looked at.
MURLIN_READS_PAST_NUL const __m128i* FirstGroupWithNul(const __m128i* group, uintptr_t stop) {
    for (; reinterpret_cast<uintptr_t>(group) < stop; group += 8) {
        const __m128i* b = group;
        __m128i least =
            _mm_min_epi16(_mm_min_epi16(_mm_min_epi16(b[0], b[1]), _mm_min_epi16(b[2], b[3])),
                          _mm_min_epi16(_mm_min_epi16(b[4], b[5]), _mm_min_epi16(b[6], b[7])));
        if (_mm_movemask_epi8(_mm_cmpgt_epi16(_mm_set1_epi16(1), least)) != 0 && AnyNulIn(b))
            return group;
    }
    return group;
}

#if defined(__x86_64__) && !defined(_WIN32)
// The same with 32 bytes to a register and an unsigned least, on processors
// that have them: two groups a round, aligned on 256 bytes, so that both lie
// in the page of the first.
MURLIN_READS_PAST_NUL __attribute__((target("avx2"))) bool HasNulWide(__m256i least) {
    return _mm256_movemask_epi8(_mm256_cmpeq_epi16(least, _mm256_setzero_si256())) != 0;
}

MURLIN_READS_PAST_NUL __attribute__((target("avx2"))) __m256i LeastOfGroup(const __m256i* b) {
    return _mm256_min_epu16(_mm256_min_epu16(b[0], b[1]), _mm256_min_epu16(b[2], b[3]));
}

MURLIN_READS_PAST_NUL __attribute__((target("avx2"))) const __m128i*
FirstGroupWithNulWide(const __m128i* group, uintptr_t stop) {
    auto* b = reinterpret_cast<const __m256i*>(group);
    if ((reinterpret_cast<uintptr_t>(b) & 255) != 0) {
        if (reinterpret_cast<uintptr_t>(b) >= stop || HasNulWide(LeastOfGroup(b)))
            return reinterpret_cast<const __m128i*>(b);
        b += 4;
    }
    for (; reinterpret_cast<uintptr_t>(b) < stop; b += 8) {
        __m256i first = LeastOfGroup(b);
        __m256i second = LeastOfGroup(b + 4);
        if (HasNulWide(_mm256_min_epu16(first, second))) {
            if (!HasNulWide(first)) b += 4;
            break;
        }
    }
    return reinterpret_cast<const __m128i*>(b);
}

const __m128i* FirstGroupWithNulHere(const __m128i* group, uintptr_t stop) {
    return __builtin_cpu_supports("avx2") ? FirstGroupWithNulWide(group, stop)
                                          : FirstGroupWithNul(group, stop);
}
#else
const __m128i* FirstGroupWithNulHere(const __m128i* group, uintptr_t stop) {
    return FirstGroupWithNul(group, stop);
}
#endif

// The bytes from address, a text's first unit, to its NUL; when the NUL
// does not come before the address stop, some count that reaches stop.
// Sixty-four units a round, in aligned blocks of 16 bytes. An aligned block
// lies within one page, and so do eight aligned on 128 bytes, so the units
// that follow the NUL in the last of them are read without any fault; the
// address checker is told so.
MURLIN_READS_PAST_NUL size_t BytesToNul(uintptr_t address, uintptr_t stop) {
    const __m128i zero = _mm_setzero_si128();
    auto* block = reinterpret_cast<const __m128i*>(address & ~uintptr_t{15});
    // Units before the text in its first block do not count.
    unsigned nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(*block, zero))) &
                    (~0u << (address & 15));
    // Single blocks up to a boundary of 128 bytes, then eight a round.
    while (nuls == 0 && (reinterpret_cast<uintptr_t>(block + 1) & 127) != 0) {
        ++block;
        if (reinterpret_cast<uintptr_t>(block) >= stop) return stop - address;
        nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(*block, zero)));
    }
    if (nuls == 0) {
        block = FirstGroupWithNulHere(block + 1, stop);
        if (reinterpret_cast<uintptr_t>(block) >= stop) return stop - address;
        for (;; ++block) {
            nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(*block, zero)));
            if (nuls != 0) break;
        }
    }
    return reinterpret_cast<uintptr_t>(block) + static_cast<unsigned>(__builtin_ctz(nuls)) -
           address;
}

} // namespace
#else
namespace {

constexpr uintptr_t LANE_ONES = ~uintptr_t{0} / 0xFFFF;
constexpr uintptr_t LANE_HIGHS = LANE_ONES << 15;

// The bit-trick that tells whether any 16-bit lane of a word is zero (exact
// as to whether; the lowest zero lane is then found unit by unit).
bool HasZeroUnit(uintptr_t word) {
    return ((word - LANE_ONES) & ~word & LANE_HIGHS) != 0;
}

// BytesToNul without vector registers: units up to a word boundary, then
// aligned words of two or four units. An aligned word lies within one page,
// so the units after the NUL in its word are read without any fault. One
// copy serves both measures.
MURLIN_READS_PAST_NUL __attribute__((noinline)) size_t BytesToNul(uintptr_t address,
                                                                  uintptr_t stop) {
    auto* unit = reinterpret_cast<const char16_t*>(address);
    for (; reinterpret_cast<uintptr_t>(unit) % sizeof(uintptr_t) != 0; ++unit) {
        if (reinterpret_cast<uintptr_t>(unit) >= stop) return stop - address;
        if (*unit == 0) return reinterpret_cast<uintptr_t>(unit) - address;
    }
    for (;; unit += sizeof(uintptr_t) / sizeof(char16_t)) {
        if (reinterpret_cast<uintptr_t>(unit) >= stop) return stop - address;
        uintptr_t word;
        __builtin_memcpy(&word, unit, sizeof word);
        if (HasZeroUnit(word)) break;
    }
    while (*unit != 0)
        ++unit;
    return reinterpret_cast<uintptr_t>(unit) - address;
}

} // namespace
#endif

MURLIN_READS_PAST_NUL size_t TextLength(const char16_t* text) {
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if ((address & 1) != 0) return TextLengthWithinByUnits(text, SIZE_MAX);
    return BytesToNul(address, UINTPTR_MAX) / sizeof(char16_t);
}

MURLIN_READS_PAST_NUL size_t TextLengthWithin(const char16_t* text, size_t limit) {
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if ((address & 1) != 0) return TextLengthWithinByUnits(text, limit);
    uintptr_t room = (UINTPTR_MAX - address) / sizeof(char16_t);
    uintptr_t stop = limit < room ? address + limit * sizeof(char16_t) : UINTPTR_MAX;
    size_t n = BytesToNul(address, stop) / sizeof(char16_t);
    return n < limit ? n : limit;
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

// Builds for size (the shipped DLLs, held to 20 KiB) keep the plain loops
// below; the others move short runs in two steps.
#if defined(__OPTIMIZE_SIZE__)
constexpr bool SHORT_MOVES = false;
#else
constexpr bool SHORT_MOVES = true;
#endif

// A unit repeated: 2 to 8 of them in two stores that may overlap, more in
// a loop.
void FillUnits(char16_t* destination, char16_t unit, size_t count) {
    if (SHORT_MOVES && count - 2 <= 6) {
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
    if (SHORT_MOVES && count - 2 <= 6) {
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
