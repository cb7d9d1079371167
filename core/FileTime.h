#pragma once
// File times as the program compares them: a local date and time at the two-second resolution of
// the zip file-date format, held as a date-time value counted in days (day 0 is 1899-12-30, the
// fraction is the time of day). Conversions use the process's local time zone (TZ).

#include <ctime>

// A local date and time counted in days since 1899-12-30 00:00 (fraction = time of day).
using TDateTime = double;

// Two date-time values differing by less than this many days (about one second) are the same time.
inline constexpr double kSameFileTimeTolerance = 1.1575e-5;

// True when the two values differ by less than about one second.
bool SameFileTime(TDateTime a, TDateTime b);

// A file's modification time (seconds since the epoch, UTC, as the file system keeps it) as a
// local date-time value, with the seconds rounded down to an even number.
TDateTime FileTimeToDateTime(std::time_t utcSeconds);

// The date-time value of a local calendar date and time (no range checks; the month is 1 to 12).
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);

// True when two modification times fall on the same local time at the two-second resolution, the
// test the copy mode uses to find unchanged files.
bool SameFileMTime(std::time_t a, std::time_t b);
