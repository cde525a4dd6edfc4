// The Japanese era of a date: the built-in table up to the era that began on
// 2019-05-01, and the platform's registry list for the eras after it.
#pragma once

#include "datetime/bounded_output.h"
#include "platform/platform.h"

// How an era is written: its letter or its name, then the year in the era.
enum EraForm : int32_t {
    ERA_LETTER_FORM = 0, // "%c%02d"
    ERA_NAME_FORM = 1,   // "%s%02d"
};

// Each writer writes at out.position, never past out.end, ends with a NUL
// and returns the units written (the NUL not counted).

// g (letter form) and G (name form): the era that the date falls in. The
// first call of a load scans the registry list once for where it takes over
// from the table; a date from there on is written from the list (no text
// when the key does not open or no value has begun by the date).
size_t FormatEraForDate(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form);

// j and J: the table era named by letter, with the date's year in it; a
// letter that names no era gives row 0 ("?", the Western year).
size_t FormatEraByLetter(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form,
                         char16_t letter);
