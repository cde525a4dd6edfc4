// Small operations on NUL-terminated UTF-16 text, used by every handler.
// They stand in for the C library, which the module does not link.
#pragma once

#include <stddef.h>
#include <stdint.h>

size_t TextLength(const char16_t* text);

// The text's length, or limit when it is longer: reads no further than it
// must to tell, so that a long text can be measured a window at a time.
size_t TextLengthWithin(const char16_t* text, size_t limit);

// Exact equality: unit by unit, case-sensitive, both ending at the same place.
bool TextEqual(const char16_t* a, const char16_t* b);

// True when needle occurs anywhere inside text (an empty needle always does).
bool TextContains(const char16_t* text, const char16_t* needle);

// Writes count copies of unit, and no NUL.
void FillUnits(char16_t* destination, char16_t unit, size_t count);

// Copies count units and writes a NUL after them.
void CopyUnits(char16_t* destination, const char16_t* source, size_t count);

// Copies the text with at most limit units and a NUL; returns the units copied.
size_t CopyTextBounded(char16_t* destination, const char16_t* source, size_t limit);
