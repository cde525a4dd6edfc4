// Small operations on NUL-terminated UTF-16 text, used by every handler.
// They stand in for the C library, which the module does not link.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The length scans read aligned blocks (SSE2) or words of units, and
// TextEqual blocks that stay within their page: reads that may hold units
// past a text's NUL but cannot fault. MURLIN_PLAIN_SCANS selects scans that
// read unit by unit instead; builds under a sanitizer take them, so that the
// checkers see every read and none they must be told to overlook.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MURLIN_PLAIN_SCANS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MURLIN_PLAIN_SCANS 1
#endif
#endif

#if defined(__SSE2__) && !defined(MURLIN_PLAIN_SCANS)
#include <emmintrin.h>
#endif

// Every 16-bit lane of a word set to 1, and to 0x8000: a word w holds a zero
// unit when (w - LANE_ONES) & ~w & LANE_HIGHS is not 0, and its lowest bit
// set is in the first zero unit.
constexpr uintptr_t LANE_ONES = ~uintptr_t{0} / 0xFFFF;
constexpr uintptr_t LANE_HIGHS = LANE_ONES << 15;

size_t TextLength(const char16_t* text);

// The text's length, or limit when it is longer: reads no further than it
// must to tell, so that a long text can be measured a window at a time.
size_t TextLengthWithin(const char16_t* text, size_t limit);

// Exact equality: unit by unit, case-sensitive, both ending at the same
// place. Inline: the dispatch compares every call's name with it.
//
// The 32-bit mingw linker refuses one inline function emitted both by
// link-time optimisation and by a plain object, as a test linked with the
// module's library makes it: there each file keeps a copy of its own.
// Elsewhere the files share one copy, which keeps the 64-bit DLL small.
#if defined(_WIN32) && !defined(_WIN64)
#define MURLIN_TEXT_INLINE static inline
#else
#define MURLIN_TEXT_INLINE inline
#endif
MURLIN_TEXT_INLINE bool TextEqual(const char16_t* a, const char16_t* b) {
#if !defined(MURLIN_PLAIN_SCANS)
    // A block of units at a time while neither block reaches a page's end;
    // units past a NUL that the blocks hold are compared but do not count.
    constexpr uintptr_t PAGE_BYTES = 4096;
#if defined(__SSE2__)
    // Eight units a block: a name of the dispatch in one compare.
    constexpr uintptr_t BLOCK = 16;
    while ((reinterpret_cast<uintptr_t>(a) & (PAGE_BYTES - 1)) <= PAGE_BYTES - BLOCK &&
           (reinterpret_cast<uintptr_t>(b) & (PAGE_BYTES - 1)) <= PAGE_BYTES - BLOCK) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
        // Two bits a unit: the units that differ, and b's NULs.
        unsigned differ = ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(x, y))) & 0xFFFF;
        unsigned nuls =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(y, _mm_setzero_si128())));
        if (nuls != 0) return (differ & (nuls ^ (nuls - 1))) == 0; // up to b's first NUL
        if (differ != 0) return false;
        a += BLOCK / sizeof(char16_t);
        b += BLOCK / sizeof(char16_t);
    }
#else
    constexpr uintptr_t WORD = sizeof(uintptr_t);
    while ((reinterpret_cast<uintptr_t>(a) & (PAGE_BYTES - 1)) <= PAGE_BYTES - WORD &&
           (reinterpret_cast<uintptr_t>(b) & (PAGE_BYTES - 1)) <= PAGE_BYTES - WORD) {
        uintptr_t x, y;
        __builtin_memcpy(&x, a, WORD);
        __builtin_memcpy(&y, b, WORD);
        uintptr_t nuls = (y - LANE_ONES) & ~y & LANE_HIGHS; // b's first NUL: the lowest bit
        if (nuls != 0) return ((x ^ y) & (nuls ^ (nuls - 1))) == 0;
        if (x != y) return false;
        a += WORD / sizeof(char16_t);
        b += WORD / sizeof(char16_t);
    }
#endif
#endif
    for (;; ++a, ++b) {
        if (*a != *b) return false;
        if (*a == 0) return true;
    }
}

// True when needle occurs anywhere inside text (an empty needle always does).
bool TextContains(const char16_t* text, const char16_t* needle);

// Writes count copies of unit, and no NUL.
void FillUnits(char16_t* destination, char16_t unit, size_t count);

// Copies count units and writes a NUL after them.
void CopyUnits(char16_t* destination, const char16_t* source, size_t count);

// Copies the text with at most limit units and a NUL; returns the units copied.
size_t CopyTextBounded(char16_t* destination, const char16_t* source, size_t limit);
