#include "core/date_time.h"

#include "core/exceptions.h"

#include <cmath>
#include <ctime>

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 0001-01-01 (day 1) in the proleptic Gregorian calendar; 1899-12-30 is day 693594.
constexpr int64_t DateDelta = 693594;

// The calendar's ends as rounded milliseconds: the last millisecond of 0001-01-01 (a negative value, its time
// counting away from zero) and of 9999-12-31.
constexpr int64_t FirstDay = -693593;
constexpr int64_t LastDay = 2958465;
constexpr int64_t MinMSecs = FirstDay * MSecsPerDay - (MSecsPerDay - 1);
constexpr int64_t MaxMSecs = LastDay * MSecsPerDay + (MSecsPerDay - 1);

int64_t DaysFromCivil(int year, int month, int day) {
    int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    return days + day;
}

TDateParts CivilFromDays(int64_t dayNumber) {
    // dayNumber counts from 0001-01-01 as 1; the algorithm works on days since 0000-03-01.
    int64_t z = dayNumber - 1 + 306;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    TDateParts parts;
    parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    parts.year = static_cast<int>(yoe + era * 400 + (parts.month <= 2 ? 1 : 0));
    return parts;
}

} // namespace

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

TDateTime EncodeDate(int year, int month, int day) {
    if (!IsValidDate(year, month, day))
        throw EConvertError("Invalid argument to date encode");
    return static_cast<TDateTime>(DaysFromCivil(year, month, day) - DateDelta);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return static_cast<TDateTime>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / MSecsPerDay;
}

TDateTime EncodeDateTime(const TDateParts& date, const TTimeParts& time) {
    const TDateTime day = EncodeDate(date.year, date.month, date.day);
    const TDateTime timeOfDay = EncodeTime(time.hour, time.minute, time.second, time.msec);
    // Before 1899-12-30 the value is negative and the time of day still counts away from zero.
    return day >= 0 ? day + timeOfDay : day - timeOfDay;
}

TDateTimeStamp DateTimeToTimeStamp(TDateTime value) {
    const auto total = static_cast<int64_t>(std::llround(value * MSecsPerDay));
    TDateTimeStamp stamp;
    stamp.days = total / MSecsPerDay; // truncates toward zero, as the day part of a negative value does
    stamp.msecOfDay = static_cast<int32_t>(std::llabs(total % MSecsPerDay));
    return stamp;
}

std::optional<int64_t> DateTimeToMSecs(TDateTime value) {
    // Far outside the range (or not a number) the product would not even fit the rounding.
    if (!(std::fabs(value) < 1e7))
        return std::nullopt;
    const int64_t msecs = std::llround(value * MSecsPerDay);
    if (msecs < MinMSecs || msecs > MaxMSecs)
        return std::nullopt;
    return msecs;
}

TDateTime TimeStampToDateTime(const TDateTimeStamp& stamp) {
    const TDateTime timeOfDay = static_cast<TDateTime>(stamp.msecOfDay) / MSecsPerDay;
    const auto day = static_cast<TDateTime>(stamp.days);
    return stamp.days >= 0 ? day + timeOfDay : day - timeOfDay;
}

TDateParts DecodeDate(TDateTime value) { return CivilFromDays(DateTimeToTimeStamp(value).days + DateDelta); }

TTimeParts DecodeTime(TDateTime value) {
    int32_t ms = DateTimeToTimeStamp(value).msecOfDay;
    TTimeParts parts;
    parts.msec = ms % 1000;
    ms /= 1000;
    parts.second = ms % 60;
    ms /= 60;
    parts.minute = ms % 60;
    parts.hour = ms / 60;
    return parts;
}

int DayOfWeek(TDateTime value) {
    const int64_t dayNumber = DateTimeToTimeStamp(value).days + DateDelta; // 0001-01-01 was a Monday
    return static_cast<int>(((dayNumber % 7) + 7) % 7) + 1;
}

TDateTime Now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return EncodeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                          {local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000)});
}

TDateTime LocalUtcOffset() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return static_cast<double>(local.tm_gmtoff) / 86400;
}
