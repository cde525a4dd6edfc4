// Code page conversion for the backends without the Windows converter, with
// the results MultiByteToWideChar and WideCharToMultiByte give on the Windows
// builds: code page 65001 is UTF-8 and every other code page is Windows-1252.
//
// UTF-8 input is read as the Windows builds read it. A byte that starts no
// sequence, and a lone continuation byte, is one U+FFFD. A sequence is read
// byte by byte up to the first byte that is no continuation byte, which is
// left for the next character; what was read then becomes one U+FFFD. When
// the first continuation byte is out of its lead's range (an overlong form, a
// surrogate, beyond U+10FFFF) the lead and that byte are one U+FFFD. When the
// input ends before a sequence's length, all the rest is one U+FFFD, even a
// NUL that a count of -1 includes (the result then ends without it).
//
// Windows-1252 output gives each unit the byte Windows gives it, best fits
// included (U+0100 is A); a unit with none, each half of a surrogate pair
// included, becomes the default character ?. With noBestFit only the exact
// letters are kept. UTF-8 output writes an unpaired surrogate as U+FFFD.
//
// A count of -1 means a NUL-terminated input whose NUL is converted too; an
// output count of 0 asks for the size needed; an output too small gives 0,
// and so does an empty input or a negative output count.
#pragma once

#include <stdint.h>

int32_t DecodeBytes(uint32_t codePage, const char* bytes, int32_t byteCount, char16_t* wide,
                    int32_t wideCount);
// usedDefault, when not null, is set to whether a unit became the default
// character.
int32_t EncodeWide(uint32_t codePage, const char16_t* wide, int32_t wideCount, char* bytes,
                   int32_t byteCount, bool noBestFit = false, bool* usedDefault = nullptr);

// UTF-8 <-> UTF-16 for the stand-ins' own use (paths, environment, files).
// Both return the units written without the NUL, or -1 when it does not fit.
int32_t Utf8ToUtf16(const char* utf8, char16_t* wide, int32_t wideCount);
int32_t Utf16ToUtf8(const char16_t* wide, char* utf8, int32_t byteCount);
