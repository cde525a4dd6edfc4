#include "datetime/era_calendar.h"

#include "datetime/era_boundary.h"
#include "module/decimal.h"

uint32_t EraBoundary = ERA_BOUNDARY_UNSCANNED;

namespace {

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

// The buffers every enumeration of the list passes, reset before each call.
constexpr os::DWORD ERA_NAME_UNITS = 260;
constexpr os::DWORD ERA_DATA_BYTES = 260;

constexpr uint32_t LAST_TABLE_YEAR = 2019;

// A date as year * 10000 + month * 100 + day; keys compare in date order.
uint32_t DateKey(const os::SYSTEMTIME& date) {
    return static_cast<uint32_t>(date.wYear) * 10000u + static_cast<uint32_t>(date.wMonth) * 100u +
           date.wDay;
}

// One enumerated registry value, its name NUL-terminated.
struct EraValue {
    char16_t name[ERA_NAME_UNITS + 1];
    char16_t data[ERA_DATA_BYTES / sizeof(char16_t)];
    os::DWORD dataBytes;
    uint32_t year;  // of the name "yyyy mm dd"
    uint32_t start; // the date key of the name
};

bool EnumEraValue(os::HKEY key, os::DWORD index, EraValue& value) {
    os::DWORD nameCount = ERA_NAME_UNITS;
    value.dataBytes = ERA_DATA_BYTES;
    os::DWORD type = 0;
    os::LONG status = os::RegEnumValueW(key, index, value.name, &nameCount, nullptr, &type,
                                        reinterpret_cast<uint8_t*>(value.data), &value.dataBytes);
    if (status != os::ERROR_SUCCESS) return false;
    // The name is read only up to its end, whatever the platform left after it.
    value.name[nameCount < ERA_NAME_UNITS ? nameCount : ERA_NAME_UNITS] = 0;
    if (value.dataBytes > ERA_DATA_BYTES) value.dataBytes = ERA_DATA_BYTES;
    return true;
}

// A decimal number that has at least one digit after its blanks.
bool ReadField(const char16_t*& cursor, uint32_t& value) {
    const char16_t* digits = cursor;
    while (*digits == u' ')
        ++digits;
    if (*digits < u'0' || *digits > u'9') return false;
    value = ReadDecimal(cursor);
    return true;
}

// The year and the start key of a value named "yyyy mm dd": three numbers,
// each followed by one separating unit. A name that ends before its third
// number holds no date.
bool ReadEraStart(const char16_t* name, uint32_t& year, uint32_t& start) {
    const char16_t* cursor = name;
    uint32_t month = 0;
    uint32_t day = 0;
    if (!ReadField(cursor, year) || *cursor++ == 0) return false;
    if (!ReadField(cursor, month) || *cursor++ == 0) return false;
    if (!ReadField(cursor, day)) return false;
    start = (year * 100u + month) * 100u + day;
    return true;
}

// The registry walk: opens the list, hands every value whose name holds a
// date to visit in enumeration order, and closes it. False when the key
// does not open.
template <typename Visit> bool VisitEraValues(Visit visit) {
    os::HKEY key = nullptr;
    if (os::RegOpenKeyExW(os::HkeyLocalMachine(), os::JAPANESE_ERAS_KEY, 0, os::KEY_READ, &key) !=
        os::ERROR_SUCCESS)
        return false;
    EraValue value;
    for (os::DWORD index = 0; EnumEraValue(key, index, value); ++index)
        if (ReadEraStart(value.name, value.year, value.start)) visit(value);
    os::RegCloseKey(key);
    return true;
}

// Finds the first start key after 2019 in the registry list and stores it in
// EraBoundary (ERA_BOUNDARY_NONE when there is none or the key does not open).
void ScanEraBoundary() {
    uint32_t lowest = ERA_BOUNDARY_NONE;
    VisitEraValues([&](const EraValue& value) {
        if (value.year > LAST_TABLE_YEAR && value.start < lowest) lowest = value.start;
    });
    __atomic_store_n(&EraBoundary, lowest, __ATOMIC_RELEASE);
}

size_t WriteEra(BoundedOutput out, EraForm form, char16_t letter, const char16_t* name,
                int32_t year) {
    return form == ERA_LETTER_FORM ? PutFormatted(out, u"%c%02d", letter, year)
                                   : PutFormatted(out, u"%s%02d", name, year);
}

// The era of the date from the registry list; no text (0 units) when the key
// does not open or no value has begun by the date.
size_t FormatRegistryEra(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form) {
    // No text until a value matches, but always a terminated one.
    PutUnits(out, u"", 0);
    uint32_t k = DateKey(date);
    size_t count = 0;
    VisitEraValues([&](const EraValue& value) {
        if (value.start > k) return;
        // The data reads "name_abbreviation_EnglishName_E": units 0 and 1
        // are the name, unit 5 the letter. Shorter data gives what it has.
        size_t units = value.dataBytes / sizeof(char16_t);
        size_t length = 0;
        while (length < units && value.data[length] != 0)
            ++length;
        char16_t letter = length > 5 ? value.data[5] : u'?';
        char16_t name[3] = {0, 0, 0};
        for (size_t i = 0; i < 2 && i < length; ++i)
            name[i] = value.data[i];
        int32_t eraYear =
            static_cast<int32_t>(date.wYear) - static_cast<int32_t>(value.start / 10000u) + 1;
        // Every match writes at the same place: the last one stands.
        count = WriteEra(out, form, letter, name, eraYear);
    });
    return count;
}

size_t WriteTableEra(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form, size_t row) {
    return WriteEra(out, form, ERA_LETTERS[row], ERA_TABLE[row].name,
                    static_cast<int32_t>(date.wYear) - ERA_TABLE[row].baseYear);
}

} // namespace

size_t FormatEraForDate(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form) {
    uint32_t k = DateKey(date);
    if (CurrentEraBoundary() == ERA_BOUNDARY_UNSCANNED) ScanEraBoundary();
    if (k >= CurrentEraBoundary()) return FormatRegistryEra(date, out, form);
    size_t row = ERA_ROWS - 1;
    while (row > 0 && k < ERA_TABLE[row].startKey)
        --row;
    return WriteTableEra(date, out, form, row);
}

size_t FormatEraByLetter(const os::SYSTEMTIME& date, BoundedOutput out, EraForm form,
                         char16_t letter) {
    size_t row = ERA_ROWS - 1;
    while (row > 0 && ERA_LETTERS[row] != letter)
        --row;
    return WriteTableEra(date, out, form, row);
}
