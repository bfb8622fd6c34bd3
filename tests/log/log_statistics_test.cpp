#include "log/chart_columns.h"
#include "log/log_statistics.h"
#include "log/outage_timeline.h"
#include "log/value_histogram.h"
#include "log_test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace {

const TDateTime Start = EncodeDate(2025, 12, 8);

int64_t MsOf(int second) { return std::llround((Start + second / 86400.0) * MSecsPerDay); }

// One row per second, in the order given; a row with an error text is a failed row.
void AppendRows(TMemTable& table, const std::vector<std::pair<int32_t, std::string>>& rows) {
    for (const auto& [value, error] : rows)
        AppendRecord(table, Start + table.RecordCount() / 86400.0, value, error);
}

TLogStatistics StatisticsOf(const std::vector<std::pair<int32_t, std::string>>& rows) {
    TMemTable table;
    AppendRows(table, rows);
    TLogStatistics statistics;
    statistics.Rebuild(table);
    return statistics;
}

void ExpectSameFigures(const TLogStatistics& a, const TLogStatistics& b) {
    EXPECT_EQ(a.Rows(), b.Rows());
    EXPECT_EQ(a.FailedRows(), b.FailedRows());
    EXPECT_EQ(a.Min(), b.Min());
    EXPECT_EQ(a.Max(), b.Max());
    EXPECT_DOUBLE_EQ(a.Average(), b.Average());
    EXPECT_DOUBLE_EQ(a.Median(), b.Median());
    EXPECT_EQ(a.Percentile(95), b.Percentile(95));
    EXPECT_EQ(a.Percentile(99), b.Percentile(99));
    EXPECT_DOUBLE_EQ(a.Jitter(), b.Jitter());
}

} // namespace

TEST(LogStatistics, FiguresWithTiesASingleRowAndNoRows) {
    const TLogStatistics ties = StatisticsOf({{20, ""}, {10, ""}, {20, ""}, {30, ""}, {20, ""}, {99, "down"}});
    EXPECT_EQ(ties.Rows(), 6);
    EXPECT_EQ(ties.FailedRows(), 1);
    EXPECT_EQ(ties.Min(), 10);
    EXPECT_EQ(ties.Max(), 30); // the failed row's value does not count
    EXPECT_DOUBLE_EQ(ties.Average(), 20);
    EXPECT_DOUBLE_EQ(ties.Median(), 20);
    EXPECT_EQ(ties.Percentile(95), 30);
    EXPECT_EQ(ties.Percentile(50), 20);
    EXPECT_DOUBLE_EQ(ties.Jitter(), (10 + 10 + 10 + 10) / 4.0);

    const TLogStatistics even = StatisticsOf({{4, ""}, {1, ""}, {3, ""}, {2, ""}});
    EXPECT_DOUBLE_EQ(even.Median(), 2.5);
    EXPECT_EQ(even.Percentile(25), 1);
    EXPECT_EQ(even.Percentile(26), 2);
    EXPECT_EQ(even.Percentile(99), 4);

    const TLogStatistics single = StatisticsOf({{7, ""}});
    EXPECT_EQ(single.Min(), 7);
    EXPECT_DOUBLE_EQ(single.Median(), 7);
    EXPECT_EQ(single.Percentile(99), 7);
    EXPECT_DOUBLE_EQ(single.Jitter(), 0);

    const TLogStatistics empty = StatisticsOf({});
    EXPECT_EQ(empty.Rows(), 0);
    EXPECT_EQ(empty.Percentile(95), 0);
}

TEST(LogStatistics, FollowingARunGivesWhatRebuildingGives) {
    TMemTable table;
    TLogStatistics following;
    following.Follow(table);
    std::mt19937 random(7);
    for (int batch = 0; batch < 20; ++batch) {
        for (int i = 0; i < 300; ++i) {
            const bool failed = random() % 13 == 0 || (batch == 5 && i > 100);
            const int32_t value = static_cast<int32_t>(random() % 3 == 0 ? random() % 200000 : random() % 50) - 2;
            AppendRecord(table, Start + table.RecordCount() / 86400.0, value, failed ? "lost" : "");
        }
        following.Follow(table);
        TLogStatistics rebuilt;
        rebuilt.Rebuild(table);
        ExpectSameFigures(following, rebuilt);
    }
    table.SetRecNo(10);
    table.DeleteRecord();
    following.Follow(table);
    TLogStatistics rebuilt;
    rebuilt.Rebuild(table);
    ExpectSameFigures(following, rebuilt);
    table.ClearRecords();
    following.Follow(table);
    EXPECT_EQ(following.Rows(), 0);
}

TEST(LogStatistics, ASpanLimitsTheRowsCountedAlsoWhileFollowing) {
    TMemTable table;
    AppendRows(table, {{1, ""}, {2, "a"}, {3, "b"}, {4, ""}, {5, ""}, {6, ""}});
    TLogStatistics statistics;
    statistics.Rebuild(table, TTimeSpan{MsOf(2), MsOf(4)});
    EXPECT_EQ(statistics.Rows(), 3);
    EXPECT_EQ(statistics.FailedRows(), 1);
    EXPECT_EQ(statistics.Min(), 4);
    AppendRows(table, {{7, ""}});
    statistics.Follow(table);
    EXPECT_EQ(statistics.Rows(), 3);
}

TEST(ValueHistogram, RanksMatchASortedListAcrossTheWholeRange) {
    TValueHistogram histogram;
    std::vector<int32_t> values;
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        int32_t value = static_cast<int32_t>(random() % 70000);
        if (i % 50 == 0)
            value = -value;
        if (i % 333 == 0)
            value = i % 2 ? INT32_MAX : INT32_MIN;
        histogram.Add(value);
        values.push_back(value);
    }
    std::sort(values.begin(), values.end());
    for (size_t rank = 0; rank < values.size(); rank += 37)
        ASSERT_EQ(histogram.ValueAtRank(static_cast<int64_t>(rank)), values[rank]) << rank;
    EXPECT_EQ(histogram.ValueAtRank(0), values.front());
    EXPECT_EQ(histogram.ValueAtRank(static_cast<int64_t>(values.size()) - 1), values.back());
}

TEST(ChartColumns, EveryRowLiesWithinItsColumnsMinAndMax) {
    TMemTable table;
    std::mt19937 random(3);
    for (int i = 0; i < 5000; ++i)
        AppendRecord(table, Start + i * 0.7 / 86400, static_cast<int32_t>(random() % 1000), i % 97 == 0 ? "e" : "");
    const TTimeSpan span{MsOf(100), MsOf(3000)};
    TChartColumns columns;
    columns.Compute(table, span, 333);
    ASSERT_EQ(columns.Width(), 333);
    std::vector<bool> minSeen(333), maxSeen(333);
    int32_t greatest = 0;
    for (int row = 0; row < table.RecordCount(); ++row) {
        const int64_t ms = std::llround(std::get<TDateTime>(table.RowValue(row, 0)) * MSecsPerDay);
        if (ms < span.fromMs || ms > span.toMs)
            continue;
        const int x = columns.ColumnOf(ms);
        ASSERT_GE(x, 0);
        ASSERT_LT(x, 333);
        const TChartColumn& column = columns.Column(x);
        if (!std::get<std::string>(table.RowValue(row, 2)).empty()) {
            EXPECT_TRUE(column.hasFailure) << row;
            continue;
        }
        const int32_t value = std::get<int32_t>(table.RowValue(row, 1));
        ASSERT_TRUE(column.hasValue);
        ASSERT_LE(column.min, value);
        ASSERT_GE(column.max, value);
        minSeen[x] = minSeen[x] || column.min == value;
        maxSeen[x] = maxSeen[x] || column.max == value;
        greatest = std::max(greatest, value);
    }
    for (int x = 0; x < 333; ++x) { // each column's extremes are values of its own rows
        if (columns.Column(x).hasValue) {
            EXPECT_TRUE(minSeen[x] && maxSeen[x]) << x;
        }
    }
    EXPECT_EQ(columns.MaxValue(), greatest);
    EXPECT_EQ(columns.ColumnOf(span.fromMs), 0);
    EXPECT_EQ(columns.ColumnOf(span.toMs), 332);
}

// One call unanswered for longer than a period is an outage from the end of the last good cycle while it
// waits, before its row comes; its failed row and the recovery continue that one outage, the re-attaches are
// counted in it, a long cycle of answered calls is none, and the end of the run closes the count.
TEST(OutageTimeline, OneCallUnansweredBeyondAPeriodIsAnOutageAndTheRunsEndCountsTheOneUnderWay) {
    const TFailure network{TFailureCause::Network, "Error writing data to the connection."};
    TOutageTimeline timeline(1000);
    timeline.Begin(0);
    timeline.CallBegun(1000);
    timeline.CallEnded(1005);
    EXPECT_FALSE(timeline.Row(1005, std::nullopt).begun);
    timeline.CallBegun(2000);
    EXPECT_FALSE(timeline.Current(2900).has_value());
    EXPECT_DOUBLE_EQ(timeline.Availability(2900), 1);
    const std::optional<TOutage> hung = timeline.Current(14500);
    ASSERT_TRUE(hung.has_value());
    EXPECT_EQ(hung->startMs, 1005);
    EXPECT_EQ(hung->endMs, 14500);
    EXPECT_EQ(hung->rows, 0);
    EXPECT_EQ(hung->failure.cause, TFailureCause::NoAnswer);
    EXPECT_EQ(hung->failure.reason, "No answer from the server for 12 s.");
    EXPECT_EQ(timeline.OutageMs(14500), 13495);

    timeline.CallEnded(34000);
    const TOutageTimeline::TChange lost = timeline.Row(34000, network);
    ASSERT_TRUE(lost.begun.has_value()); // the failed row tells the outage that the hang began
    EXPECT_EQ(lost.begun->startMs, 1005);
    EXPECT_EQ(lost.begun->failure.reason, network.reason);
    timeline.ReattachFailed({TFailureCause::Network, "Unable to complete network request to host \"db\"."});
    timeline.ReattachFailed({TFailureCause::Login, "Your user name and password are not defined."});
    EXPECT_FALSE(timeline.Row(35001, TFailure{TFailureCause::Client, "DB is not open"}).begun);
    ASSERT_EQ(timeline.OutageCount(35500), 1u);
    EXPECT_EQ(timeline.Current(35500)->rows, 2);
    EXPECT_EQ(timeline.Current(35500)->failedReattaches, 2);
    EXPECT_EQ(timeline.Current(35500)->lastReattach.cause, TFailureCause::Login);
    const TOutageTimeline::TChange recovered = timeline.Row(36010, std::nullopt);
    ASSERT_TRUE(recovered.ended.has_value());
    EXPECT_EQ(recovered.ended->endMs, 36010);
    EXPECT_FALSE(timeline.Current(36500).has_value());
    EXPECT_EQ(timeline.OutageMs(36500), 35005);

    // Many answered calls make a cycle longer than a period: no outage.
    for (int64_t at = 37000; at < 39000; at += 200) {
        timeline.CallBegun(at);
        timeline.CallEnded(at + 200);
    }
    EXPECT_FALSE(timeline.Row(39000, std::nullopt).begun);
    // One slow call in a good cycle was an outage while it waited: it is told begun and ended by the row.
    timeline.CallBegun(40000);
    timeline.CallEnded(42500);
    const TOutageTimeline::TChange slow = timeline.Row(42500, std::nullopt);
    ASSERT_TRUE(slow.begun && slow.ended);
    EXPECT_EQ(slow.ended->startMs, 39000);
    // The run ends while a call hangs: that outage counts to the end.
    timeline.CallBegun(43000);
    const TOutageTimeline::TChange ended = timeline.End(50000);
    ASSERT_TRUE(ended.begun.has_value());
    EXPECT_EQ(ended.begun->failure.cause, TFailureCause::NoAnswer);
    const std::vector<TOutage> outages = timeline.Outages(999999);
    ASSERT_EQ(outages.size(), 3u);
    EXPECT_EQ(outages[2].startMs, 42500);
    EXPECT_EQ(outages[2].endMs, 50000);
    EXPECT_TRUE(outages[2].ongoing);
    EXPECT_EQ(timeline.RunMs(999999), 50000);
    EXPECT_DOUBLE_EQ(timeline.Availability(999999), 1 - (35005 + 3500 + 7500) / 50000.0);
    EXPECT_DOUBLE_EQ(AvailabilityOver(outages, 40000, 50000), 1 - (2500 + 7500) / 10000.0);
    EXPECT_EQ(timeline.Outages(999999, 3).size(), 0u); // the one under way is the third
}
