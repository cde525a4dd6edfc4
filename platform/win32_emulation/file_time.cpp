#include "platform/win32_emulation/file_time.h"

namespace {

constexpr uint64_t SECONDS_PER_DAY = 86400;
constexpr uint64_t DAYS_PER_400_YEARS = 146097;

} // namespace

uint64_t FileTimeTicks(const os::FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

os::FILETIME FileTimeFromTicks(uint64_t ticks) {
    return os::FILETIME{static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
}

os::FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    int64_t since1601 = seconds + static_cast<int64_t>(FILETIME_UNIX_EPOCH_SECONDS);
    if (since1601 < 0) return FileTimeFromTicks(0);
    uint64_t ticks = static_cast<uint64_t>(since1601) * FILETIME_TICKS_PER_SECOND +
                     static_cast<uint64_t>(nanoseconds / 100);
    return FileTimeFromTicks(ticks);
}

bool SplitFileTime(uint64_t ticks, os::SYSTEMTIME* split) {
    if (ticks >= 0x8000000000000000ull) return false;
    uint64_t seconds = ticks / FILETIME_TICKS_PER_SECOND;
    uint64_t days = seconds / SECONDS_PER_DAY;
    uint64_t inDay = seconds % SECONDS_PER_DAY;

    // 1601-01-01 was a Monday and begins a 400-year cycle.
    uint64_t cycles = days / DAYS_PER_400_YEARS;
    uint64_t dayOfCycle = days % DAYS_PER_400_YEARS;
    uint64_t centuries = dayOfCycle / 36524;
    if (centuries == 4) centuries = 3; // the last day of the cycle, in its leap year
    uint64_t dayOfCentury = dayOfCycle - centuries * 36524;
    uint64_t quads = dayOfCentury / 1461;
    uint64_t dayOfQuad = dayOfCentury % 1461;
    uint64_t years = dayOfQuad / 365;
    if (years == 4) years = 3;
    uint64_t dayOfYear = dayOfQuad - years * 365;
    uint64_t year = 1601 + cycles * 400 + centuries * 100 + quads * 4 + years;

    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static const uint16_t MONTH_DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned month = 0;
    while (true) {
        uint64_t length = MONTH_DAYS[month] + (month == 1 && leap ? 1 : 0);
        if (dayOfYear < length) break;
        dayOfYear -= length;
        ++month;
    }

    split->wYear = static_cast<uint16_t>(year);
    split->wMonth = static_cast<uint16_t>(month + 1);
    split->wDay = static_cast<uint16_t>(dayOfYear + 1);
    split->wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);
    split->wHour = static_cast<uint16_t>(inDay / 3600);
    split->wMinute = static_cast<uint16_t>(inDay / 60 % 60);
    split->wSecond = static_cast<uint16_t>(inDay % 60);
    split->wMilliseconds = static_cast<uint16_t>(ticks / 10000 % 1000);
    return true;
}
