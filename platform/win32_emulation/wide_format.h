// A formatter that writes what wsprintfW writes, for the backends that have
// no USER32: flags - and 0, a width, a precision for strings, and the
// conversions d, i, u, x, X, c, s and %%. Output stops at capacity - 1 units
// and is always NUL-terminated.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

int32_t FormatWideV(char16_t* buffer, size_t capacity, const char16_t* format, va_list args);

// wsprintfW's own bound: 1024 units, terminator included.
constexpr size_t WSPRINTF_CAPACITY = 1024;
