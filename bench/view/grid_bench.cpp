// The grid following a long log: an append with the grid attached and showing the end, at 1 000 and at
// 1 000 000 rows, and one full repaint of a screen of rows at 1 000 000.
#include "log/mem_table.h"
#include "view/data_grid.h"
#include "view/data_source.h"
#include "view/filter_row.h"

#include <QApplication>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {

void Append(TMemTable& table, int value) {
    table.BeginAppend();
    table.MTTime.SetAsDateTime(46000.5 + value / 86400000.0);
    table.MTValue.SetValue(int32_t(value % 1000));
    table.MTError.SetAsString(value % 7 == 0 ? "connection timeout" : "");
    table.PostRecord();
}

struct TGridOverLog {
    TMemTable table;
    TDataSource source;
    TDataGrid grid;

    explicit TGridOverLog(int rows) {
        source.SetDataSet(&table);
        for (int i = 0; i < rows; ++i)
            Append(table, i);
        grid.SetDataSource(&source);
        grid.resize(640, 400);
        grid.show();
        QApplication::processEvents();
    }
};

void BM_AppendWithGridAttached(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state) {
        Append(log.table, value++);
        QApplication::processEvents(); // the repaint the append causes
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithGridAttached)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_AppendBookkeeping(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state)
        Append(log.table, value++);
}
BENCHMARK(BM_AppendBookkeeping)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_PaintOneScreen(benchmark::State& state) {
    TGridOverLog log(static_cast<int>(state.range(0)));
    QPixmap target(log.grid.size());
    for (auto _ : state)
        log.grid.render(&target);
}
BENCHMARK(BM_PaintOneScreen)->Arg(1000000)->Unit(benchmark::kMicrosecond);

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

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
