#pragma once

#include <cstdint>
#include <optional>

// Days since 1899-12-30 00:00; the fraction is the time of day.
using TDateTime = double;

constexpr int32_t MSecsPerDay = 24 * 60 * 60 * 1000;

struct TDateParts {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct TTimeParts {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
};

// A date and time rounded to the millisecond: whole days since 1899-12-30 and the milliseconds of that day.
// Rounding happens on the whole value, so 23:59:59.9996 becomes the next day's 00:00:00.000.
struct TDateTimeStamp {
    int64_t days = 0;
    int32_t msecOfDay = 0;
};

bool IsValidDate(int year, int month, int day);
// Throw EConvertError for parts out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(const TDateParts& date, const TTimeParts& time);

TDateTimeStamp DateTimeToTimeStamp(TDateTime value);
// The value rounded to whole milliseconds (signed like the value: the time of day counts away from zero), or
// nothing when that rounded value lies outside 0001-01-01 00:00:00.000 .. 9999-12-31 23:59:59.999. The check
// is made after rounding, so 9999-12-31 23:59:59.9996 is refused rather than turned into the year 10000.
std::optional<int64_t> DateTimeToMSecs(TDateTime value);
TDateTime TimeStampToDateTime(const TDateTimeStamp& stamp);
TDateParts DecodeDate(TDateTime value);
TTimeParts DecodeTime(TDateTime value);
int DayOfWeek(TDateTime value); // 1 = Sunday .. 7 = Saturday

// The local date and time now, to the millisecond.
TDateTime Now();
// How far the local time is ahead of UTC now, in days (negative west of Greenwich).
TDateTime LocalUtcOffset();
