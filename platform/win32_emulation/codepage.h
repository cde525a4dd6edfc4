// Code page conversion for the backends without the Windows converter, with
// the results MultiByteToWideChar and WideCharToMultiByte give: code page
// 65001 is UTF-8 (invalid input and unpaired surrogates become U+FFFD), and
// every other code page is Windows-1252 (what it cannot hold becomes ?).
// A count of -1 means a NUL-terminated input whose NUL is converted too; an
// output count of 0 asks for the size needed; an output too small gives 0.
#pragma once

#include <stdint.h>

int32_t DecodeBytes(uint32_t codePage, const char* bytes, int32_t byteCount, char16_t* wide,
                    int32_t wideCount);
int32_t EncodeWide(uint32_t codePage, const char16_t* wide, int32_t wideCount, char* bytes,
                   int32_t byteCount);

// UTF-8 <-> UTF-16 for the stand-ins' own use (paths, environment, files).
// Both return the units written without the NUL, or -1 when it does not fit.
int32_t Utf8ToUtf16(const char* utf8, char16_t* wide, int32_t wideCount);
int32_t Utf16ToUtf8(const char16_t* wide, char* utf8, int32_t byteCount);
