#include "core/FileTime.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Days from 1970-01-01 to the civil date (proleptic Gregorian calendar).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// Day 0 of the date-time values, counted from the epoch.
const std::int64_t kDateTimeEpochDays = daysFromCivil(1899, 12, 30);

} // namespace

bool SameFileTime(TDateTime a, TDateTime b)
{
    return std::fabs(a - b) < kSameFileTimeTolerance;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second)
{
    const std::int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDateTimeEpochDays;
    const double seconds = hour * 3600.0 + minute * 60.0 + second;
    return static_cast<double>(days) + seconds / kSecondsPerDay;
}

TDateTime FileTimeToDateTime(std::time_t utcSeconds)
{
    std::tm local{};
    if (localtime_r(&utcSeconds, &local) == nullptr) {
        // Out of the range the C library converts: fall back to UTC arithmetic.
        const auto days = static_cast<double>(utcSeconds / 86400 - kDateTimeEpochDays);
        const auto rest = static_cast<double>((utcSeconds % 86400) & ~static_cast<std::time_t>(1));
        return days + rest / kSecondsPerDay;
    }
    // The file-date format keeps seconds in steps of two.
    const int second = local.tm_sec & ~1;
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, second);
}

bool SameFileMTime(std::time_t a, std::time_t b)
{
    return SameFileTime(FileTimeToDateTime(a), FileTimeToDateTime(b));
}
