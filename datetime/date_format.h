// The date format language: 23 letters, each standing for one part of a date
// and time; every other unit is copied as it stands.
#pragma once

#include "platform/platform.h"

#include <stddef.h>

constexpr char16_t DEFAULT_DATE_FORMAT[] = u"YND";

// Indexed by wDayOfWeek, 0 = Sunday.
extern const char16_t* const WEEKDAY_ABBREVS[7];
extern const char16_t* const WEEKDAY_KANJI[7];

// Expands format (null or empty: DEFAULT_DATE_FORMAT) for date (null: the
// local time, read once) into output, which holds capacity units (at least
// 1). The text is cut where the buffer ends and always ends with a NUL.
void FormatDateTime(const char16_t* format, const os::SYSTEMTIME* date, char16_t* output,
                    size_t capacity);
