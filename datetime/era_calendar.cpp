#include "datetime/era_calendar.h"

#include "module/params.h"

namespace {

// Scanned once per load, by the first g or G. Read and stored in one step
// each, so that concurrent first calls see either 0 or the finished value.
uint32_t EraBoundary = ERA_BOUNDARY_UNSCANNED;

constexpr uint32_t LAST_TABLE_YEAR = 2019;
constexpr size_t PIECE_UNITS = 32;

// One enumerated registry value, its name NUL-terminated.
struct EraValue {
    char16_t name[ERA_NAME_UNITS + 1];
    char16_t data[ERA_DATA_BYTES / sizeof(char16_t)];
    os::DWORD dataBytes;
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

bool OpenEraKey(os::HKEY& key) {
    return os::RegOpenKeyExW(os::HkeyLocalMachine(), ERA_REGISTRY_KEY, 0, os::KEY_READ, &key) ==
           os::ERROR_SUCCESS;
}

size_t WriteEra(TextOut out, int32_t form, char16_t letter, const char16_t* name, int32_t year) {
    char16_t piece[PIECE_UNITS];
    int32_t n = form == ERA_LETTER_FORM ? os::wsprintfW(piece, u"%c%02d", letter, year)
                                        : os::wsprintfW(piece, u"%s%02d", name, year);
    return PutUnits(out, piece, n < 0 ? 0 : static_cast<size_t>(n));
}

size_t WriteTableEra(const os::SYSTEMTIME& date, TextOut out, int32_t form, size_t row) {
    return WriteEra(out, form, ERA_LETTERS[row], ERA_TABLE[row].name,
                    static_cast<int32_t>(date.wYear) - ERA_TABLE[row].baseYear);
}

} // namespace

uint32_t DateKey(const os::SYSTEMTIME& date) {
    return static_cast<uint32_t>(date.wYear) * 10000u + static_cast<uint32_t>(date.wMonth) * 100u +
           date.wDay;
}

uint32_t CurrentEraBoundary() {
    return __atomic_load_n(&EraBoundary, __ATOMIC_ACQUIRE);
}

void ForgetEraBoundary() {
    __atomic_store_n(&EraBoundary, ERA_BOUNDARY_UNSCANNED, __ATOMIC_RELEASE);
}

void ScanEraBoundary() {
    uint32_t lowest = ERA_BOUNDARY_NONE;
    os::HKEY key = nullptr;
    if (OpenEraKey(key)) {
        EraValue value;
        for (os::DWORD index = 0; EnumEraValue(key, index, value); ++index) {
            uint32_t year = 0;
            uint32_t start = 0;
            if (!ReadEraStart(value.name, year, start) || year <= LAST_TABLE_YEAR) continue;
            if (start < lowest) lowest = start;
        }
        os::RegCloseKey(key);
    }
    __atomic_store_n(&EraBoundary, lowest, __ATOMIC_RELEASE);
}

size_t FormatRegistryEra(const os::SYSTEMTIME& date, TextOut out, int32_t form) {
    // No text until a value matches, but always a terminated one.
    PutUnits(out, u"", 0);
    os::HKEY key = nullptr;
    if (!OpenEraKey(key)) return 0;
    uint32_t k = DateKey(date);
    size_t count = 0;
    EraValue value;
    for (os::DWORD index = 0; EnumEraValue(key, index, value); ++index) {
        uint32_t year = 0;
        uint32_t start = 0;
        if (!ReadEraStart(value.name, year, start) || start > k) continue;
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
            static_cast<int32_t>(date.wYear) - static_cast<int32_t>(start / 10000u) + 1;
        // Every match writes at the same place: the last one stands.
        count = WriteEra(out, form, letter, name, eraYear);
    }
    os::RegCloseKey(key);
    return count;
}

size_t FormatEraForDate(const os::SYSTEMTIME& date, TextOut out, int32_t form) {
    uint32_t k = DateKey(date);
    if (CurrentEraBoundary() == ERA_BOUNDARY_UNSCANNED) ScanEraBoundary();
    if (k >= CurrentEraBoundary()) return FormatRegistryEra(date, out, form);
    size_t row = ERA_ROWS - 1;
    while (row > 0 && k < ERA_TABLE[row].startKey)
        --row;
    return WriteTableEra(date, out, form, row);
}

size_t FormatEraByLetter(const os::SYSTEMTIME& date, TextOut out, int32_t form, char16_t letter) {
    size_t row = ERA_ROWS - 1;
    while (row > 0 && ERA_LETTERS[row] != letter)
        --row;
    return WriteTableEra(date, out, form, row);
}
