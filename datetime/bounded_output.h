// A bounded place to write text. Every date writer writes at position and
// never past end, the unit kept for the NUL, so a format of any length stays
// inside the caller's buffer.
#pragma once

#include "platform/platform.h"

#include <stddef.h>
#include <stdint.h>

// Points into a buffer the caller owns; writers move nothing, the caller
// advances position by what they return.
struct BoundedOutput {
    char16_t* position; // where the next writer writes; never past end
    char16_t* end;      // the last unit of the buffer, always left for a NUL
};

// The whole of a buffer of units (NUL included; at least 1).
BoundedOutput BoundedOutputOver(char16_t* buffer, size_t units);

// Writes as many of the count units as fit and a NUL after them; returns the
// units written, the NUL not counted.
size_t PutUnits(BoundedOutput out, const char16_t* units, size_t count);

// The room for one short formatted piece (a sign, ten digits, an era name):
// wsprintfW writes it here before as much of it as fits is put.
constexpr size_t FORMATTED_PIECE_UNITS = 32;

// One short wsprintfW form such as "%02d" or "%c%02d", its result at most
// FORMATTED_PIECE_UNITS - 1 units; as much of it as fits.
template <typename... Values>
size_t PutFormatted(BoundedOutput out, const char16_t* format, Values... values) {
    // Where the buffer has room for any piece, it is written in place; near
    // its end it goes through a piece and is cut to what fits.
    if (static_cast<size_t>(out.end - out.position) >= FORMATTED_PIECE_UNITS) {
        int32_t n = os::wsprintfW(out.position, format, values...);
        return n < 0 ? 0 : static_cast<size_t>(n);
    }
    char16_t piece[FORMATTED_PIECE_UNITS];
    int32_t n = os::wsprintfW(piece, format, values...);
    return PutUnits(out, piece, n < 0 ? 0 : static_cast<size_t>(n));
}

// A text, as "%s" writes it.
size_t PutText(BoundedOutput out, const char16_t* text);
