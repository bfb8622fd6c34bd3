#pragma once

#include <string>

class TLogStatistics;

// What a run without a window tells at its end, in UTF-8 lines: the rows, the failed rows, the availability,
// the elapsed milliseconds of the successful rows (min, median, p95, max) and each outage with its times.
std::string RunSummary(const TLogStatistics& statistics);
