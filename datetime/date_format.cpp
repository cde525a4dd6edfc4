#include "datetime/date_format.h"

#include "datetime/era_calendar.h"
#include "datetime/bounded_output.h"

const char16_t* const WEEKDAY_ABBREVS[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
const char16_t* const WEEKDAY_KANJI[7] = {u"\u65E5", u"\u6708", u"\u706B", u"\u6C34",
                                          u"\u6728", u"\u91D1", u"\u571F"};

namespace {

constexpr char16_t FORENOON[] = u"\u5348\u524D";
constexpr char16_t AFTERNOON[] = u"\u5348\u5F8C";

uint32_t TwelveHour(uint16_t hour) {
    return hour < 12 ? hour : hour - 12;
}

size_t PutWeekday(BoundedOutput out, const char16_t* const names[7], uint16_t day) {
    // A weekday outside 0 to 6 cannot come from the platform; write nothing.
    return day < 7 ? PutText(out, names[day]) : PutUnits(out, u"", 0);
}

// The parts of a date that a letter writes as one number.
enum NumberField : uint8_t {
    YEAR4,
    YEAR2,
    MONTH,
    DAY,
    HOUR,
    HOUR12,
    MINUTE,
    SECOND,
    MILLISECONDS,
    NUMBER_FIELDS
};

// How a letter writes its number, as wsprintfW's "%04d", "%02d", "%2d" and
// "%03d" write it: every digit, padded in front to the width.
struct NumberForm {
    uint8_t width;
    char16_t pad;
};
constexpr NumberForm NUMBER_FORMS[] = {{4, u'0'}, {2, u'0'}, {2, u' '}, {3, u'0'}};

// Written here rather than by wsprintfW, which would read its format anew
// for each of the numbers of a date.
size_t PutDateNumber(BoundedOutput out, uint32_t value, NumberForm form) {
    constexpr size_t MOST_UNITS = 10; // the digits of 2^32 - 1
    char16_t piece[MOST_UNITS];
    char16_t* end = piece + MOST_UNITS;
    char16_t* p = end;
    do {
        *--p = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (end - p < form.width)
        *--p = form.pad;
    return PutUnits(out, p, static_cast<size_t>(end - p));
}

// What a unit of the format is: a letter that writes one number (its field
// and form), a letter that writes a name or an era, or a unit copied as it
// stands. A table, so that a unit costs one look-up rather than a walk
// through the cases.
enum UnitKind : uint8_t { COPIED, NUMBER, NAMED, ERA_BY_LETTER };

struct FormatUnit {
    UnitKind kind;
    uint8_t field; // NumberField, for NUMBER
    uint8_t form;  // into NUMBER_FORMS, for NUMBER
};

// Every letter of the format lies between A and z; the table holds that
// range alone, which keeps the DLLs within their size.
constexpr char16_t FIRST_FORMAT_LETTER = u'A';
constexpr char16_t LAST_FORMAT_LETTER = u'z';
constexpr uint32_t FORMAT_LETTER_RANGE = LAST_FORMAT_LETTER - FIRST_FORMAT_LETTER + 1;

struct FormatUnitTable {
    FormatUnit letter[FORMAT_LETTER_RANGE]; // from FIRST_FORMAT_LETTER on
};

constexpr FormatUnitTable MakeFormatUnits() {
    FormatUnitTable table{};
    const struct {
        char16_t letter;
        NumberField field;
        uint8_t form;
    } numbers[] = {{u'Y', YEAR4, 0},  {u'y', YEAR2, 1},  {u'I', MILLISECONDS, 3}, {u'N', MONTH, 1},
                   {u'n', MONTH, 2},  {u'D', DAY, 1},    {u'd', DAY, 2},          {u'H', HOUR, 1},
                   {u'h', HOUR, 2},   {u'U', HOUR12, 1}, {u'u', HOUR12, 2},       {u'M', MINUTE, 1},
                   {u'm', MINUTE, 2}, {u'S', SECOND, 1}, {u's', SECOND, 2}};
    for (const auto& n : numbers)
        table.letter[n.letter - FIRST_FORMAT_LETTER] = {NUMBER, n.field, n.form};
    for (char16_t named : u"TtWwgG")
        if (named != 0) table.letter[named - FIRST_FORMAT_LETTER] = {NAMED, 0, 0};
    for (char16_t era : u"jJ")
        if (era != 0) table.letter[era - FIRST_FORMAT_LETTER] = {ERA_BY_LETTER, 0, 0};
    return table;
}

constexpr FormatUnitTable FORMAT_UNITS = MakeFormatUnits();

FormatUnit FormatUnitOf(char16_t c) {
    uint32_t i = static_cast<uint32_t>(c) - FIRST_FORMAT_LETTER; // wraps below A
    return i < FORMAT_LETTER_RANGE ? FORMAT_UNITS.letter[i] : FormatUnit{COPIED, 0, 0};
}

// The expansion of one of T t W w g G.
size_t PutNamed(BoundedOutput out, char16_t c, const os::SYSTEMTIME& t) {
    switch (c) {
    case u'T':
        return PutText(out, t.wHour < 12 ? FORENOON : AFTERNOON);
    case u't':
        return PutText(out, t.wHour < 12 ? u"am" : u"pm");
    case u'W':
        return PutWeekday(out, WEEKDAY_KANJI, t.wDayOfWeek);
    case u'w':
        return PutWeekday(out, WEEKDAY_ABBREVS, t.wDayOfWeek);
    case u'g':
        return FormatEraForDate(t, out, ERA_LETTER_FORM);
    default:
        return FormatEraForDate(t, out, ERA_NAME_FORM);
    }
}

} // namespace

void FormatDateTime(const char16_t* format, const os::SYSTEMTIME* date, char16_t* output,
                    size_t capacity) {
    if (format == nullptr || format[0] == 0) format = DEFAULT_DATE_FORMAT;
    os::SYSTEMTIME now;
    if (date == nullptr) {
        os::GetLocalTime(&now);
        date = &now;
    }
    BoundedOutput out = BoundedOutputOver(output, capacity);
    out.position[0] = 0;
    const uint32_t numbers[NUMBER_FIELDS] = {
        date->wYear % 10000u,    date->wYear % 100u, date->wMonth,  date->wDay,         date->wHour,
        TwelveHour(date->wHour), date->wMinute,      date->wSecond, date->wMilliseconds};
    for (const char16_t* f = format; *f != 0 && out.position < out.end; ++f) {
        char16_t c = *f;
        FormatUnit unit = FormatUnitOf(c);
        switch (unit.kind) {
        case NUMBER:
            out.position += PutDateNumber(out, numbers[unit.field], NUMBER_FORMS[unit.form]);
            break;
        case COPIED:
            // The loop stops at the last unit, which is kept for the NUL.
            *out.position++ = c;
            break;
        case NAMED:
            out.position += PutNamed(out, c, *date);
            break;
        case ERA_BY_LETTER:
            // The next unit names the era and is consumed with the j or J; a
            // j or J in the last place writes nothing.
            if (f[1] == 0) {
                *out.position = 0;
                return;
            }
            ++f;
            out.position +=
                FormatEraByLetter(*date, out, c == u'j' ? ERA_LETTER_FORM : ERA_NAME_FORM, *f);
            break;
        }
    }
    *out.position = 0;
}
