#include "log/log_statistics.h"

#include <cstdlib>

void TLogStatistics::Rebuild(const TMemTable& table, std::optional<TTimeSpan> span) {
    const auto lock = table.LockRecords();
    Reset(table, span);
    TakeRowsFrom(table, 0);
}

void TLogStatistics::Follow(const TMemTable& table) {
    const auto lock = table.LockRecords();
    if (&table != m_table || table.RewriteCount() != m_rewrites || table.RecordCount() < m_taken) {
        Rebuild(table, m_span);
        return;
    }
    TakeRowsFrom(table, m_taken);
}

double TLogStatistics::Average() const {
    return SuccessfulRows() == 0 ? 0 : static_cast<double>(m_sum) / SuccessfulRows();
}

double TLogStatistics::Median() const {
    const int64_t count = m_values.Count();
    if (count == 0)
        return 0;
    if (count % 2 == 1)
        return m_values.ValueAtRank(count / 2);
    return (static_cast<double>(m_values.ValueAtRank(count / 2 - 1)) + m_values.ValueAtRank(count / 2)) / 2;
}

int32_t TLogStatistics::Percentile(int percent) const {
    const int64_t count = m_values.Count();
    if (count == 0)
        return 0;
    const int64_t rank = (count * percent + 99) / 100; // 1-based, rounded up
    return m_values.ValueAtRank(rank > 0 ? rank - 1 : 0);
}

double TLogStatistics::Jitter() const {
    return SuccessfulRows() < 2 ? 0 : m_absoluteDifferences / (SuccessfulRows() - 1);
}

void TLogStatistics::Reset(const TMemTable& table, std::optional<TTimeSpan> span) {
    const std::optional<TTimeSpan> keptSpan = span;
    *this = TLogStatistics();
    m_span = keptSpan;
    m_table = &table;
    m_rewrites = table.RewriteCount();
}

void TLogStatistics::TakeRowsFrom(const TMemTable& table, int firstRow) {
    table.Records().ForEach(firstRow, [this](const TRecordView& record) {
        if (!m_span || (record.timeMs >= m_span->fromMs && record.timeMs <= m_span->toMs))
            Add(record);
    });
    m_taken = table.RecordCount();
}

void TLogStatistics::Add(const TRecordView& record) {
    if (m_rows == 0 || record.timeMs < m_earliestMs)
        m_earliestMs = record.timeMs;
    if (m_rows == 0 || record.timeMs > m_latestMs)
        m_latestMs = record.timeMs;
    ++m_rows;
    if (!record.error.empty()) {
        ++m_failedRows;
        return;
    }
    const int32_t value = record.value;
    if (m_values.Count() == 0 || value < m_min)
        m_min = value;
    if (m_values.Count() == 0 || value > m_max)
        m_max = value;
    m_values.Add(value);
    m_sum += value;
    if (m_hasPrevious)
        m_absoluteDifferences += std::llabs(int64_t{value} - m_previous);
    m_previous = value;
    m_hasPrevious = true;
}
