// The grid following a long log: an append with the grid attached and showing the end, at 1 000 and at
// 1 000 000 rows, shown and hidden, and one full repaint of a screen of rows at both lengths. An append and a
// repaint should cost the same at both. Run: build/bench/view/grid_bench
#include "bench/view/grid_over_log.h"
#include "view/filter_row.h"

#include <QPixmap>
#include <benchmark/benchmark.h>

namespace {

void BM_AppendWithGridAttached(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        AppendLogRow(log.table, value++);
        QApplication::processEvents(); // the repaint the append causes
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithGridAttached)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// The same with the grid bound but never shown, the log having grown under it row by row.
void BM_AppendWithGridHidden(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)), false);
    int value = 0;
    for (auto _ : state) {
        AppendLogRow(log.table, value++);
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithGridHidden)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_AppendBookkeeping(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state)
        AppendLogRow(log.table, value++);
}
BENCHMARK(BM_AppendBookkeeping)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_PaintOneScreen(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    QPixmap target(log.grid.size());
    for (auto _ : state)
        log.grid.render(&target);
}
BENCHMARK(BM_PaintOneScreen)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Applying a condition on the Error column and on Value over the whole log, then showing every row again.
void BM_ApplyFilter(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        log.grid.FilterRow().SetConditionText(2, "%timeout%");
        log.grid.FilterRow().SetConditionText(1, "> 500");
        log.grid.ApplyFilter();
        benchmark::DoNotOptimize(log.grid.ShownRowCount());
        state.PauseTiming();
        log.grid.FilterRow().ClearConditions();
        log.grid.ApplyFilter();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ApplyFilter)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
