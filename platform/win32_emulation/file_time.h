// FILETIME arithmetic for the backends without KERNEL32: a FILETIME counts
// 100-nanosecond ticks since 1601-01-01 00:00 UTC, in the proleptic
// Gregorian calendar.
#pragma once

#include "platform/platform.h"

constexpr uint64_t FILETIME_TICKS_PER_SECOND = 10000000ull;
// Seconds from 1601-01-01 to the Unix epoch, 1970-01-01.
constexpr uint64_t FILETIME_UNIX_EPOCH_SECONDS = 11644473600ull;

uint64_t FileTimeTicks(const os::FILETIME& time);
os::FILETIME FileTimeFromTicks(uint64_t ticks);

// A Unix time (seconds and nanoseconds since 1970) as a FILETIME; times
// before 1601 become 0.
os::FILETIME FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);

// Splits a tick count into its date and time fields, weekday and
// milliseconds included. Counts of 2^63 and above fail, as on Windows.
bool SplitFileTime(uint64_t ticks, os::SYSTEMTIME* split);
