#pragma once

#include "log/mem_table.h"
#include "view/data_grid.h"
#include "view/data_source.h"

#include "view/filter_row.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

// A shown grid over its own log table, as the main window composes them.
class GridFixture : public testing::Test {
protected:
    TMemTable table;
    TDataSource source;
    TDataGrid grid;

    GridFixture() {
        source.SetDataSet(&table);
        grid.SetDataSource(&source);
        grid.resize(640, 300);
        grid.show();
        grid.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
    }

    void Append(int value, const std::string& error = "", TDateTime time = 46000.5) {
        table.BeginAppend();
        table.MTTime.SetAsDateTime(time);
        table.MTValue.SetValue(int32_t(value));
        table.MTError.SetAsString(error);
        table.PostRecord();
    }
    void AppendValues(int first, int count) {
        for (int value = first; value < first + count; ++value)
            Append(value);
    }
    std::vector<int> Values() const {
        std::vector<int> values;
        for (int row = 0; row < table.RecordCount(); ++row)
            values.push_back(std::get<int32_t>(table.RowValue(row, 1)));
        return values;
    }
    std::vector<int> ShownValues() const {
        std::vector<int> values;
        for (int row = 0; row < grid.ShownRowCount(); ++row)
            values.push_back(grid.CellText(row, 1).toInt());
        return values;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &grid, key, modifiers);
    }
    QPoint CellCenter(int row, int column) const { return grid.visualRect(grid.model()->index(row, column)).center(); }
    QPoint IndicatorPoint(int row) const {
        QHeaderView* indicator = grid.verticalHeader();
        return {indicator->width() / 2, grid.RowY(row) + grid.RowHeight() / 2};
    }
    void ClickIndicator(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mouseClick(grid.verticalHeader()->viewport(), Qt::LeftButton, modifiers, IndicatorPoint(row));
    }
    int CurrentRow() const { return grid.CurrentShownRow(); }

    // Answers the next modal message box with a button and reports what it showed. The poller lives in the
    // returned object: it stops once it has answered, and ends with the object, so it never answers a later,
    // unrelated box.
    struct BoxSeen {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        bool shown = false;
        QTimer poller;
    };
    static std::unique_ptr<BoxSeen> AnswerNextBox(QMessageBox::StandardButton answer) {
        auto seen = std::make_unique<BoxSeen>();
        BoxSeen* s = seen.get();
        s->poller.setInterval(5);
        QObject::connect(&s->poller, &QTimer::timeout, [s, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            s->poller.stop();
            s->shown = true;
            s->caption = box->windowTitle();
            s->text = box->text();
            s->icon = box->icon();
            s->buttons = box->standardButtons();
            box->button(answer)->click();
        });
        s->poller.start();
        return seen;
    }
};
