#pragma once

#include <cstdint>
#include <string>

class TLogStatistics;
class TOutageTimeline;

// What a run without a window tells at its end, in UTF-8 lines: the rows, the failed rows, the availability
// by time (the share of the run's time outside outages, with both times), the elapsed milliseconds of the
// successful rows (min, median, p95, max) and each outage with its times, its length and its reason.
std::string RunSummary(const TLogStatistics& rows, const TOutageTimeline& outages, int64_t endMs);

// A row's time (milliseconds of TDateTime), to the millisecond, the same way whatever the locale.
std::string TimeText(int64_t timeMs);
