#include "log/chart_columns.h"

#include <algorithm>

void TChartColumns::Compute(const TMemTable& table, TTimeSpan span, int width) {
    m_span = span;
    m_columns.assign(static_cast<size_t>(std::max(width, 0)), TChartColumn());
    m_maxValue = 0;
    if (width <= 0 || span.toMs < span.fromMs)
        return;
    const auto lock = table.LockRecords();
    table.Records().ForEach(0, [this, span](const TRecordView& record) {
        if (record.timeMs < span.fromMs || record.timeMs > span.toMs)
            return;
        TChartColumn& column = m_columns[static_cast<size_t>(ColumnOf(record.timeMs))];
        if (!record.error.empty()) {
            column.hasFailure = true;
            return;
        }
        if (!column.hasValue || record.value < column.min)
            column.min = record.value;
        if (!column.hasValue || record.value > column.max)
            column.max = record.value;
        column.hasValue = true;
        m_maxValue = std::max(m_maxValue, record.value);
    });
}

int TChartColumns::ColumnOf(int64_t timeMs) const {
    // Spans of the calendar (3e11 ms) times any screen width stay far inside 64 bits.
    const auto width = static_cast<int64_t>(m_columns.size());
    return static_cast<int>((timeMs - m_span.fromMs) * width / (m_span.toMs - m_span.fromMs + 1));
}
