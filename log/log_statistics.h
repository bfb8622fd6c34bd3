#pragma once

#include "log/mem_table.h"
#include "log/value_histogram.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Rows within [fromMs, toMs], both in milliseconds of TDateTime as the table stores them.
struct TTimeSpan {
    int64_t fromMs = 0;
    int64_t toMs = 0;
};

// Figures of the log, or of the rows in a time span, kept up to date row by row while a run goes on. A row
// failed when its Error is not empty; the value figures are over the successful rows only. Outages are the
// run's to tell (its outage ledger), not the rows'.
class TLogStatistics {
public:
    // Starts over with the rows of the table, limited to the span when there is one.
    void Rebuild(const TMemTable& table, std::optional<TTimeSpan> span = std::nullopt);
    // Takes in the rows appended since the last call, or rebuilds when stored rows were removed or changed.
    void Follow(const TMemTable& table);

    const std::optional<TTimeSpan>& Span() const { return m_span; }
    int Rows() const { return m_rows; }
    int FailedRows() const { return m_failedRows; }
    int SuccessfulRows() const { return m_rows - m_failedRows; }
    // The value figures are 0 when there is no successful row.
    int32_t Min() const { return m_min; }
    int32_t Max() const { return m_max; }
    double Average() const;
    // The middle value, or the mean of the two middle values for an even count.
    double Median() const;
    // Nearest rank: the smallest value that at least percent % of the successful values do not exceed.
    int32_t Percentile(int percent) const;
    // Mean absolute difference of successive successful values; 0 for fewer than two.
    double Jitter() const;
    // The earliest and latest Time of the rows taken in; both 0 for no rows.
    int64_t EarliestMs() const { return m_earliestMs; }
    int64_t LatestMs() const { return m_latestMs; }

private:
    void Reset(const TMemTable& table, std::optional<TTimeSpan> span);
    void TakeRowsFrom(const TMemTable& table, int firstRow);
    void Add(const TRecordView& record);

    std::optional<TTimeSpan> m_span;
    const TMemTable* m_table = nullptr;
    int m_taken = 0; // rows of the table looked at so far
    uint64_t m_rewrites = 0;
    int m_rows = 0;
    int m_failedRows = 0;
    int32_t m_min = 0;
    int32_t m_max = 0;
    int64_t m_sum = 0;
    TValueHistogram m_values;
    bool m_hasPrevious = false;
    int32_t m_previous = 0;
    double m_absoluteDifferences = 0;
    int64_t m_earliestMs = 0;
    int64_t m_latestMs = 0;
};
