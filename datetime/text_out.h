// A bounded place to write text. Every date writer writes at position and
// never past end, the unit kept for the NUL, so a format of any length stays
// inside the caller's buffer.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct TextOut {
    char16_t* position;
    char16_t* end; // the last unit of the buffer, always left for a NUL
};

// The whole of a buffer of units (NUL included; at least 1).
TextOut TextOutOver(char16_t* buffer, size_t units);

// Writes as many of the count units as fit and a NUL after them; returns the
// units written, the NUL not counted.
size_t PutUnits(TextOut out, const char16_t* units, size_t count);

// One number in a short wsprintfW form such as "%02d".
size_t PutNumber(TextOut out, const char16_t* format, int32_t value);

// A text, as "%s" writes it.
size_t PutText(TextOut out, const char16_t* text);
