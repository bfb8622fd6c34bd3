#pragma once

#include "core/date_time.h"

// Seconds since 1970-01-01 00:00 UTC of a local date and time, as Prometheus's timestamps count them; the
// local zone's offset (daylight saving included) is the one in force at that time.
double UnixSeconds(TDateTime localTime);
