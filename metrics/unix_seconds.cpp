#include "metrics/unix_seconds.h"

#include <cmath>
#include <ctime>

double UnixSeconds(TDateTime localTime) {
    const TDateTimeStamp stamp = DateTimeToTimeStamp(localTime);
    const TDateParts date = DecodeDate(localTime);
    const int32_t secondOfDay = stamp.msecOfDay / 1000;
    tm local{};
    local.tm_year = date.year - 1900;
    local.tm_mon = date.month - 1;
    local.tm_mday = date.day;
    local.tm_hour = secondOfDay / 3600;
    local.tm_min = secondOfDay / 60 % 60;
    local.tm_sec = secondOfDay % 60;
    local.tm_isdst = -1; // the zone's rule for that day decides
    return static_cast<double>(std::mktime(&local)) + (stamp.msecOfDay % 1000) / 1000.0;
}
