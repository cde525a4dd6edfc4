// The Japanese era of a date: the built-in table up to the era that began on
// 2019-05-01, and the platform's registry list for the eras after it.
#pragma once

#include "datetime/text_out.h"
#include "platform/platform.h"

// A date as year * 10000 + month * 100 + day; keys compare in date order.
uint32_t DateKey(const os::SYSTEMTIME& date);

struct EraRow {
    const char16_t* name;
    int32_t baseYear;  // the year in the era is wYear minus this
    uint32_t startKey; // the row is chosen by date from this key on
};

// One letter a row, in row order.
constexpr char16_t ERA_LETTERS[] = u"?MTSHR";
constexpr size_t ERA_ROWS = 6;

// Row 0 takes the dates before Meiji and every letter that names no era.
constexpr EraRow ERA_TABLE[ERA_ROWS] = {
    {u"\u897F", 0, 0},                  // ?
    {u"\u660E\u6CBB", 1867, 18680101u}, // M
    {u"\u5927\u6B63", 1911, 19120730u}, // T
    {u"\u662D\u548C", 1925, 19261225u}, // S
    {u"\u5E73\u6210", 1988, 19890108u}, // H
    {u"\u4EE4\u548C", 2018, 20190501u}, // R
};

enum EraForm : int32_t {
    ERA_LETTER_FORM = 0, // "%c%02d"
    ERA_NAME_FORM = 1,   // "%s%02d"
};

constexpr char16_t ERA_REGISTRY_KEY[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras";
constexpr os::DWORD ERA_NAME_UNITS = 260;
constexpr os::DWORD ERA_DATA_BYTES = 260;

// The boundary before the scan, and after a scan that found no later era.
constexpr uint32_t ERA_BOUNDARY_UNSCANNED = 0;
constexpr uint32_t ERA_BOUNDARY_NONE = 0xFFFFFFFFu;

// Each writer writes at out.position, ends with a NUL and returns the units
// written (the NUL not counted).

// g (letter form) and G (name form): the era that the date falls in.
size_t FormatEraForDate(const os::SYSTEMTIME& date, TextOut out, int32_t form);

// j and J: the table era named by letter, with the date's year in it.
size_t FormatEraByLetter(const os::SYSTEMTIME& date, TextOut out, int32_t form, char16_t letter);

// Finds the first start key after 2019 in the registry list and stores it in
// EraBoundary (ERA_BOUNDARY_NONE when there is none or the key does not open).
void ScanEraBoundary();

// The era of the date from the registry list; no text (0 units) when the key does not
// open or no value has begun by the date.
size_t FormatRegistryEra(const os::SYSTEMTIME& date, TextOut out, int32_t form);

// EraBoundary as it stands, and a way back to the unscanned state for tests
// that load the registry list anew.
uint32_t CurrentEraBoundary();
void ForgetEraBoundary();
