// The find dialog walking a 1 000 000-row log to its end without a match (its longest search): in the Error
// column, and in every column with "<All>".
#include "bench/view/grid_over_log.h"
#include "view/data_grid_find_dlg.h"

#include <QComboBox>
#include <benchmark/benchmark.h>

namespace {
void BM_FindWithoutMatch(benchmark::State& state) {
    TGridOverLog log(1000000);
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
