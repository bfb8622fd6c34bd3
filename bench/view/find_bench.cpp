// The find dialog walking a 1 000 000-row log to its end without a match (its longest search): in the Error
// column, and in every column with "<All>".
#include "log/mem_table.h"
#include "view/data_grid.h"
#include "view/data_grid_find_dlg.h"
#include "view/data_source.h"

#include <QApplication>
#include <QComboBox>
#include <benchmark/benchmark.h>
#include <cstdlib>

namespace {
struct TGridOverLog {
    TMemTable table;
    TDataSource source;
    TDataGrid grid;

    explicit TGridOverLog(int rows) {
        source.SetDataSet(&table);
        for (int i = 0; i < rows; ++i) {
            table.BeginAppend();
            table.MTTime.SetAsDateTime(46000.5 + i / 86400000.0);
            table.MTValue.SetValue(int32_t(i % 1000));
            table.MTError.SetAsString(i % 7 == 0 ? "connection timeout" : "");
            table.PostRecord();
        }
        grid.SetDataSource(&source);
        grid.resize(640, 400);
        grid.show();
        QApplication::processEvents();
    }
};

TGridOverLog* g_log = nullptr;

void BM_FindWithoutMatch(benchmark::State& state) {
    TGridOverLog& log = *g_log;
    TDataGridFindDlg dialog;
    log.grid.SetCurrentCell(0, 2);
    dialog.Prepare(log.grid);
    if (state.range(0))
        dialog.cbFindIn()->setCurrentIndex(dialog.cbFindIn()->count() - 1);
    dialog.cbText()->setEditText("no such text");
    for (auto _ : state)
        benchmark::DoNotOptimize(dialog.FindNext());
}
BENCHMARK(BM_FindWithoutMatch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    TGridOverLog log(1000000);
    g_log = &log;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
