// The statistics window over a million rows: opening it (figures and the first paint), one paint of the chart, the work one appended row
// causes. Run: build/bench/view/statistics_window_bench
#include "view/response_chart.h"
#include "view/statistics_window.h"

#include "log/mem_table.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int Rows = 1'000'000;
const TDateTime Start = EncodeDate(2025, 12, 1);

void Append(TMemTable& table, int i) {
    table.BeginAppend();
    table.MTTime.SetAsDateTime(Start + i / 86400.0);
    table.MTValue.SetAsInteger(20 + i % 37 + (i % 1000 == 0 ? 400 : 0));
    // An outage of 30 rows every 20 000 rows.
    table.MTError.SetAsString(i % 20000 < 30 ? "Unable to complete network request to host \"db\"." : "");
    table.PostRecord();
}

TMemTable& MillionRowLog() {
    static TMemTable table;
    if (table.RecordCount() == 0)
        for (int i = 0; i < Rows; ++i)
            Append(table, i);
    return table;
}

void BM_OpenWindow(benchmark::State& state) {
    TMemTable& table = MillionRowLog();
    for (auto _ : state) {
        TStatisticsWindow window(table);
        window.resize(1200, 800);
        window.show();
        benchmark::DoNotOptimize(window.Chart()->grab());
        state.PauseTiming();
        window.hide();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RepaintChart(benchmark::State& state) {
    TMemTable& table = MillionRowLog();
    TStatisticsWindow window(table);
    window.resize(1200, 800);
    window.show();
    for (auto _ : state)
        benchmark::DoNotOptimize(window.Chart()->grab());
}
BENCHMARK(BM_RepaintChart)->Unit(benchmark::kMillisecond)->Iterations(10);

// The window's share of one appended row (figures, outage list); the chart's repaint is scheduled, not done.
void BM_AppendRowWhileShown(benchmark::State& state) {
    TMemTable& table = MillionRowLog();
    TStatisticsWindow window(table);
    window.resize(1200, 800);
    window.show();
    int i = table.RecordCount();
    for (auto _ : state)
        Append(table, i++);
}
BENCHMARK(BM_AppendRowWhileShown)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace
