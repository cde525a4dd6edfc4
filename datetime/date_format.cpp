#include "datetime/date_format.h"

#include "datetime/era_calendar.h"
#include "datetime/text_out.h"

const char16_t* const WEEKDAY_ABBREVS[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
const char16_t* const WEEKDAY_KANJI[7] = {u"\u65E5", u"\u6708", u"\u706B", u"\u6C34",
                                          u"\u6728", u"\u91D1", u"\u571F"};

namespace {

constexpr char16_t FORENOON[] = u"\u5348\u524D";
constexpr char16_t AFTERNOON[] = u"\u5348\u5F8C";

int32_t TwelveHour(uint16_t hour) {
    return hour < 12 ? hour : hour - 12;
}

size_t PutWeekday(TextOut out, const char16_t* const names[7], uint16_t day) {
    // A weekday outside 0 to 6 cannot come from the platform; write nothing.
    return day < 7 ? PutText(out, names[day]) : PutUnits(out, u"", 0);
}

// The letters that come in pairs, by their upper case: the field, or -1
// for any other letter.
int32_t PairedField(char16_t upper, const os::SYSTEMTIME& t) {
    switch (upper) {
    case u'N':
        return t.wMonth;
    case u'D':
        return t.wDay;
    case u'H':
        return t.wHour;
    case u'U':
        return TwelveHour(t.wHour);
    case u'M':
        return t.wMinute;
    case u'S':
        return t.wSecond;
    default:
        return -1;
    }
}

// The expansion of one letter, or SIZE_MAX when c is not one of the 23.
size_t PutLetter(TextOut out, char16_t c, const os::SYSTEMTIME& t) {
    switch (c) {
    case u'Y':
        return PutNumber(out, u"%04d", t.wYear % 10000);
    case u'y':
        return PutNumber(out, u"%02d", t.wYear % 100);
    case u'T':
        return PutText(out, t.wHour < 12 ? FORENOON : AFTERNOON);
    case u't':
        return PutText(out, t.wHour < 12 ? u"am" : u"pm");
    case u'I':
        return PutNumber(out, u"%03d", t.wMilliseconds);
    case u'W':
        return PutWeekday(out, WEEKDAY_KANJI, t.wDayOfWeek);
    case u'w':
        return PutWeekday(out, WEEKDAY_ABBREVS, t.wDayOfWeek);
    case u'g':
        return FormatEraForDate(t, out, ERA_LETTER_FORM);
    case u'G':
        return FormatEraForDate(t, out, ERA_NAME_FORM);
    default:
        break;
    }
    // N D H U M S: two digits, zero-padded; n d h u m s: blank-padded.
    bool lower = c >= u'a' && c <= u'z';
    int32_t field = PairedField(lower ? static_cast<char16_t>(c - u'a' + u'A') : c, t);
    if (field < 0) return SIZE_MAX;
    return PutNumber(out, lower ? u"%2d" : u"%02d", field);
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
    TextOut out = TextOutOver(output, capacity);
    out.position[0] = 0;
    for (const char16_t* f = format; *f != 0 && out.position < out.end; ++f) {
        char16_t c = *f;
        if (c == u'j' || c == u'J') {
            // The next unit names the era and is consumed with the j or J; a
            // j or J in the last place writes nothing.
            if (f[1] == 0) break;
            ++f;
            out.position +=
                FormatEraByLetter(*date, out, c == u'j' ? ERA_LETTER_FORM : ERA_NAME_FORM, *f);
            continue;
        }
        size_t written = PutLetter(out, c, *date);
        out.position += written == SIZE_MAX ? PutUnits(out, &c, 1) : written;
    }
    *out.position = 0;
}
