#pragma once

#include "log/log_statistics.h"

#include <cstdint>
#include <vector>

// What one pixel column of the response-time chart shows: the least and greatest Value of the successful rows
// that fall into it, and whether a failed row does.
struct TChartColumn {
    bool hasValue = false;
    int32_t min = 0;
    int32_t max = 0;
    bool hasFailure = false;
};

// Min/max decimation of the log over a time span into pixel columns, so that a chart of a million rows draws
// one vertical line per column instead of one point per row.
class TChartColumns {
public:
    // Rows in [span.fromMs, span.toMs] only; row time t lies in column (t - from) * width / (to - from + 1).
    void Compute(const TMemTable& table, TTimeSpan span, int width);

    int Width() const { return static_cast<int>(m_columns.size()); }
    const TChartColumn& Column(int x) const { return m_columns[static_cast<size_t>(x)]; }
    // The column of a time inside the span.
    int ColumnOf(int64_t timeMs) const;
    // The greatest value of any column; 0 when none has one.
    int32_t MaxValue() const { return m_maxValue; }

private:
    TTimeSpan m_span;
    std::vector<TChartColumn> m_columns;
    int32_t m_maxValue = 0;
};
