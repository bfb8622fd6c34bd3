#pragma once

#include "log/mem_table.h"
#include "view/data_grid.h"
#include "view/data_source.h"

#include <QApplication>

// A row of the synthetic log: times a millisecond apart, 1 000 values, every seventh row an error.
inline void AppendLogRow(TMemTable& table, int i) {
    table.BeginAppend();
    table.MTTime.SetAsDateTime(46000.5 + i / 86400000.0);
    table.MTValue.SetValue(int32_t(i % 1000));
    table.MTError.SetAsString(i % 7 == 0 ? "connection timeout" : "");
    table.PostRecord();
}

// A shown grid over a log of the given length, as the main window composes them.
struct TGridOverLog {
    TMemTable table;
    TDataSource source;
    TDataGrid grid;

    // The grid is bound before the rows arrive when it is hidden, as in a window that stays minimized.
    explicit TGridOverLog(int rows, bool shown = true) {
        source.SetDataSet(&table);
        if (!shown)
            grid.SetDataSource(&source);
        for (int i = 0; i < rows; ++i)
            AppendLogRow(table, i);
        grid.SetDataSource(&source);
        grid.resize(640, 400);
        if (shown)
            grid.show();
        QApplication::processEvents();
    }
};
