#include "grid_fixture.h"

#include "log/csv_stream_format.h"
#include "view/grid_title_header.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>

namespace {

constexpr int TimeColumn = 0, ValueColumn = 1, ErrorColumn = 2;

class DataGrid : public GridFixture {
protected:
    int ErrorRightEdge() const { return grid.columnViewportPosition(ErrorColumn) + grid.columnWidth(ErrorColumn); }
};

} // namespace

TEST_F(DataGrid, ShowsTheFieldsWithTheirTitlesAlignmentAndDisplayTexts) {
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    Append(-15, "lost\tconnection", 46000.0);
    Append(250, "", 46000.25);
    QAbstractItemModel* model = grid.model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->headerData(TimeColumn, Qt::Horizontal).toString(), "Time");
    EXPECT_EQ(model->headerData(ValueColumn, Qt::Horizontal).toString(), "Value");
    EXPECT_EQ(model->headerData(ErrorColumn, Qt::Horizontal).toString(), "Error");
    EXPECT_EQ(grid.CellText(0, ValueColumn), "-15");
    EXPECT_EQ(grid.CellText(0, ErrorColumn), "lost\tconnection");
    EXPECT_EQ(grid.CellText(0, TimeColumn), QString::fromStdString(table.RowDisplayText(0, TimeColumn)));
    EXPECT_EQ(model->index(0, ValueColumn).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(model->index(0, ErrorColumn).data(Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
              Qt::AlignLeft);
    EXPECT_EQ(grid.RowHeight(), grid.fontMetrics().height() + 4);

    // The Error column is too narrow for its texts: the cell's tip shows the whole one, on its lines.
    Append(0, "Form1.FDB:\r\nUnable to complete network request to host \"db\".\r\n");
    const QRect cell = grid.visualRect(model->index(2, ErrorColumn));
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid.viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "Form1.FDB:\nUnable to complete network request to host \"db\".");
    EXPECT_FALSE(model->index(1, ErrorColumn).data(Qt::ToolTipRole).isValid());
    EXPECT_FALSE(model->index(2, ValueColumn).data(Qt::ToolTipRole).isValid());
}

TEST_F(DataGrid, FollowsTheTableWithTheNewestRecordCurrentInTheBottomRow) {
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(grid.model(), &QAbstractItemModel::modelReset);
    AppendValues(0, 200);
    EXPECT_EQ(resets.count(), 0) << "appends arrive as inserted rows";
    EXPECT_EQ(CurrentRow(), 199);
    EXPECT_EQ(table.CurrentRow(), 199);
    QApplication::processEvents();
    int bottom = grid.RowY(199) + grid.RowHeight();
    EXPECT_LE(bottom, grid.viewport()->height());
    EXPECT_GT(bottom + grid.RowHeight(), grid.viewport()->height()) << "the newest row is the bottom one";

    // The user's move is the table's move, and the next append makes the newest record current again.
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(table.CurrentRow(), 197);
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(table.CurrentRow(), 0);
    Append(200);
    EXPECT_EQ(CurrentRow(), 200);
    EXPECT_EQ(table.CurrentRow(), 200);

    table.ClearRecords();
    EXPECT_EQ(grid.model()->rowCount(), 0);
    EXPECT_EQ(CurrentRow(), -1);
}

TEST_F(DataGrid, ErrorFillsExactlyTheRestOfTheWidthWhateverTheSize) {
    int timeWidth = grid.ColumnWidth(TimeColumn);
    int valueWidth = grid.ColumnWidth(ValueColumn);
    int digit = grid.fontMetrics().horizontalAdvance('0');
    EXPECT_EQ(timeWidth, digit * 18 + 4);
    EXPECT_EQ(valueWidth, digit * 10 + 4);
    for (int width : {640, 900, 450, 301}) {
        grid.resize(width, 300);
        QApplication::processEvents();
        EXPECT_EQ(ErrorRightEdge(), grid.viewport()->width()) << width;
        EXPECT_EQ(grid.ColumnWidth(TimeColumn), timeWidth);
        EXPECT_EQ(grid.ColumnWidth(ValueColumn), valueWidth);
    }
    // A vertical scroll bar takes its width from Error, not from the others.
    grid.resize(640, 300);
    AppendValues(0, 100);
    QApplication::processEvents();
    ASSERT_TRUE(grid.verticalScrollBar()->isVisible());
    EXPECT_EQ(ErrorRightEdge(), grid.viewport()->width());

    // Resizing a fixed column sticks and Error gives way; resizing Error has no lasting effect.
    grid.horizontalHeader()->resizeSection(TimeColumn, timeWidth + 41);
    EXPECT_EQ(grid.ColumnWidth(TimeColumn), timeWidth + 40);
    EXPECT_EQ(ErrorRightEdge(), grid.viewport()->width());
    grid.horizontalHeader()->resizeSection(ErrorColumn, 20);
    EXPECT_EQ(ErrorRightEdge(), grid.viewport()->width());

    // Narrower than the fixed columns: Error is 0 and nothing scrolls sideways.
    grid.SetColumnWidth(TimeColumn, 640);
    QApplication::processEvents();
    EXPECT_EQ(grid.ColumnWidth(ErrorColumn), 0);
    EXPECT_EQ(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
}

TEST_F(DataGrid, MovingErrorToTheFrontChangesOnlyTheScreen) {
    Append(7, "timeout");
    grid.horizontalHeader()->moveSection(grid.horizontalHeader()->visualIndex(ErrorColumn), 0);
    QApplication::processEvents();
    EXPECT_EQ(grid.VisibleColumns(), (std::vector<int>{ErrorColumn, TimeColumn, ValueColumn}));
    EXPECT_EQ(grid.columnViewportPosition(ValueColumn) + grid.columnWidth(ValueColumn), grid.viewport()->width());

    TCsvStreamFormat format;
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    format.SaveToStream(table, file);
    EXPECT_TRUE(file.data().startsWith("\"Time\"\t\"Value\"\t\"Error\"")) << file.data().toStdString();
    EXPECT_TRUE(file.data().contains("\t\"7\"\t\"timeout\"")) << file.data().toStdString();
}

TEST_F(DataGrid, TitleClicksNeitherSortNorSelectExceptInTheLowestPixels) {
    AppendValues(0, 5);
    auto* titles = static_cast<TGridTitleHeader*>(grid.horizontalHeader());
    QWidget* titleArea = titles->viewport();
    int x = titles->sectionViewportPosition(ValueColumn) + titles->sectionSize(ValueColumn) / 2;
    int titleHeight = titleArea->height();

    QTest::mouseClick(titleArea, Qt::LeftButton, {}, {x, titleHeight - TGridTitleHeader::ColumnSelectBand - 2});
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
    EXPECT_EQ(ShownValues(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(titles->isSortIndicatorShown());

    QTest::mouseClick(titleArea, Qt::LeftButton, {}, {x, titleHeight - 2});
    EXPECT_EQ(grid.Selection().Kind(), TGridSelectionKind::Columns);
    EXPECT_TRUE(grid.selectionModel()->isColumnSelected(ValueColumn));
    EXPECT_FALSE(grid.selectionModel()->isColumnSelected(TimeColumn));
    EXPECT_TRUE(grid.Selection().SelectedRows().empty()) << "a column selection is not a row selection";
}

TEST_F(DataGrid, KeysMoveSelectAndLeaveTheSelectionAsTheyShould) {
    AppendValues(0, 40);
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(grid.FocusedColumn(), ErrorColumn);
    Key(Qt::Key_Tab);
    EXPECT_EQ(CurrentRow(), 1);
    EXPECT_EQ(grid.FocusedColumn(), TimeColumn);
    Key(Qt::Key_Backtab);
    EXPECT_EQ(CurrentRow(), 0);
    EXPECT_EQ(grid.FocusedColumn(), ErrorColumn);

    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid.Selection().SelectedRows(), (std::vector<int>{0, 1, 2}));
    Key(Qt::Key_End, Qt::ControlModifier); // Ctrl keeps the selection
    EXPECT_EQ(CurrentRow(), 39);
    EXPECT_EQ(grid.Selection().SelectedRows(), (std::vector<int>{0, 1, 2}));
    Key(Qt::Key_Up); // plain navigation clears it
    EXPECT_TRUE(grid.Selection().SelectedRows().empty());
    EXPECT_EQ(CurrentRow(), 38);

    Key(Qt::Key_PageUp);
    EXPECT_EQ(CurrentRow(), 38 - grid.VisibleRowCount());
    Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(CurrentRow(), grid.TopShownRow() + grid.VisibleRowCount() - 1);

    // Typing, Enter, Insert and the clipboard keys change nothing.
    std::vector<int> before = Values();
    Key(Qt::Key_A);
    Key(Qt::Key_Return);
    Key(Qt::Key_Insert);
    Key(Qt::Key_V, Qt::ControlModifier);
    Key(Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Values(), before);
    EXPECT_EQ(table.State(), dsBrowse);

    // Up on the first record goes into the filter row.
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Up);
    EXPECT_TRUE(grid.FilterRow().IsEditing());
}

TEST_F(DataGrid, MouseSelectsCellsRowsAndFollowsTheModifiers) {
    AppendValues(0, 10);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(3, ValueColumn));
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_EQ(table.CurrentRow(), 3);
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, CellCenter(5, ErrorColumn));
    EXPECT_EQ(grid.Selection().Kind(), TGridSelectionKind::Rectangle);
    EXPECT_EQ(grid.selectionModel()->selectedIndexes().size(), 6);

    ClickIndicator(2);
    EXPECT_EQ(grid.Selection().SelectedRows(), std::vector<int>{2});
    ClickIndicator(6, Qt::ControlModifier);
    ClickIndicator(2, Qt::ControlModifier);
    EXPECT_EQ(grid.Selection().SelectedRows(), std::vector<int>{6});
    ASSERT_EQ(CurrentRow(), 2);
    ClickIndicator(8, Qt::ShiftModifier); // from the current row
    EXPECT_EQ(grid.Selection().SelectedRows(), (std::vector<int>{2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(CurrentRow(), 8);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(1, TimeColumn));
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
}

TEST_F(DataGrid, CtrlDeleteAsksAndDeletesTheCurrentRecordWithoutASelection) {
    AppendValues(0, 5);
    Key(Qt::Key_Up);
    auto seen = AnswerNextBox(QMessageBox::Ok);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(seen->shown);
    EXPECT_EQ(seen->caption, "Confirm");
    EXPECT_EQ(seen->text, "Delete record?");
    EXPECT_EQ(seen->icon, QMessageBox::Question);
    EXPECT_EQ(seen->buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 2, 4}));
    EXPECT_EQ(table.CurrentRow(), 3) << "the record after the deleted one";
    EXPECT_EQ(CurrentRow(), 3);
    EXPECT_EQ(grid.focusWidget(), &grid) << "the focus goes back where it was";

    auto cancelled = AnswerNextBox(QMessageBox::Cancel);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(cancelled->shown);
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 2, 4}));
}

TEST_F(DataGrid, CtrlDeleteDeletesTheSelectedRowsWhereverTheCurrentRowIs) {
    AppendValues(0, 8);
    ClickIndicator(1);
    ClickIndicator(4, Qt::ControlModifier);
    ClickIndicator(6, Qt::ControlModifier);
    Key(Qt::Key_Home, Qt::ControlModifier); // away from the selection, which stays
    ASSERT_EQ(CurrentRow(), 0);

    auto cancelled = AnswerNextBox(QMessageBox::Cancel);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(cancelled->text, "Delete all selected records?");
    EXPECT_EQ(Values().size(), 8u);

    auto seen = AnswerNextBox(QMessageBox::Ok);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(seen->text, "Delete all selected records?");
    EXPECT_EQ(Values(), (std::vector<int>{0, 2, 3, 5, 7}));
    EXPECT_TRUE(grid.Selection().SelectedRows().empty());
}

TEST_F(DataGrid, CtrlDeleteWithOneSelectedRowDeletesThatRowNotTheCurrentOne) {
    AppendValues(0, 6);
    ClickIndicator(2);
    Key(Qt::Key_Down, Qt::ControlModifier); // to the bottom visible row, keeping the selection
    ASSERT_EQ(CurrentRow(), 5);
    auto seen = AnswerNextBox(QMessageBox::Ok);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(seen->text, "Delete record?");
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 3, 4, 5}));

    // A cell rectangle is no row selection: only the current record goes.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(0, TimeColumn));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, CellCenter(3, ErrorColumn));
    auto cells = AnswerNextBox(QMessageBox::Ok);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(cells->text, "Delete record?");
    EXPECT_EQ(Values(), (std::vector<int>{0, 1, 3, 5}));
}

TEST_F(DataGrid, CtrlQuoteCopiesTheValueAboveAndStaysPendingUntilEscOrTheNextAppend) {
    Append(10, "first");
    Append(20, "second");
    Append(30, "third");
    Key(Qt::Key_Right); // Value
    Key(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(table.State(), dsEdit);
    EXPECT_EQ(grid.CellText(2, ValueColumn), "20");
    Key(Qt::Key_Escape);
    EXPECT_EQ(table.State(), dsBrowse);
    EXPECT_EQ(Values(), (std::vector<int>{10, 20, 30}));

    Key(Qt::Key_Right); // Error
    Key(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(table.State(), dsEdit);
    Append(40, "fourth");
    EXPECT_EQ(std::get<std::string>(table.RowValue(2, ErrorColumn)), "second");
    EXPECT_EQ(table.RecordCount(), 4);
    EXPECT_EQ(CurrentRow(), 3);

    // Nothing to copy on the first row.
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(table.State(), dsBrowse);
}

TEST_F(DataGrid, IndicatorMarksTheCurrentRowByTheTableStateAndPointersShowTheSelectionZones) {
    AppendValues(0, 4);
    auto* indicator = static_cast<TGridIndicator*>(grid.verticalHeader());
    EXPECT_EQ(indicator->MarkOf(3), TIndicatorMark::Browse);
    EXPECT_EQ(indicator->MarkOf(2), TIndicatorMark::None);
    ClickIndicator(3);
    EXPECT_EQ(indicator->MarkOf(3), TIndicatorMark::BrowseSelected);
    Key(Qt::Key_Escape);
    EXPECT_EQ(indicator->MarkOf(3), TIndicatorMark::Browse);
    Key(Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(indicator->MarkOf(3), TIndicatorMark::Edit);
    Key(Qt::Key_Escape);
    table.BeginAppend();
    EXPECT_EQ(grid.model()->rowCount(), 5);
    EXPECT_EQ(indicator->MarkOf(4), TIndicatorMark::Insert);
    // Leaving the grid drops an append to which nothing was assigned.
    QWidget other;
    other.show();
    other.activateWindow();
    other.setFocus();
    QApplication::processEvents();
    EXPECT_EQ(table.State(), dsBrowse);
    EXPECT_EQ(grid.model()->rowCount(), 4);

    EXPECT_EQ(indicator->viewport()->cursor().shape(), Qt::BitmapCursor);
    auto* titles = static_cast<TGridTitleHeader*>(grid.horizontalHeader());
    int x = titles->sectionViewportPosition(TimeColumn) + 20;
    QTest::mouseMove(titles->viewport(), {x, titles->viewport()->height() - 3});
    EXPECT_EQ(titles->viewport()->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseMove(titles->viewport(), {x, 2});
    EXPECT_NE(titles->viewport()->cursor().shape(), Qt::BitmapCursor);
}

TEST(DataGridBinding, FollowsItsDataSourceThroughRebindingAndItsEnd) {
    TMemTable first, second;
    TDataGrid grid;
    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    first.BeginAppend();
    first.MTValue.SetValue(int32_t(1));
    first.PostRecord();
    {
        TDataSource source;
        grid.SetDataSource(&source);
        EXPECT_EQ(grid.model()->rowCount(), 0);
        source.SetDataSet(&first);
        EXPECT_EQ(grid.model()->rowCount(), 1);
        EXPECT_EQ(grid.model()->columnCount(), 3);
        EXPECT_EQ(grid.Table(), &first);
        source.SetDataSet(&second);
        EXPECT_EQ(grid.model()->rowCount(), 0);
        EXPECT_EQ(grid.Table(), &second);
        source.SetDataSet(&first);
    }
    EXPECT_EQ(grid.DataSource(), nullptr);
    EXPECT_EQ(grid.Table(), nullptr);
    EXPECT_EQ(grid.model()->rowCount(), 0);
    first.BeginAppend(); // nobody listens any more
    first.PostRecord();
}

TEST_F(DataGrid, ScrolledRowsAreHitPaintedAndMarkedWhereTheyStand) {
    AppendValues(0, 300);
    grid.SetTopShownRow(100);
    QApplication::processEvents();
    EXPECT_EQ(grid.TopShownRow(), 100);
    EXPECT_EQ(grid.indexAt(CellCenter(120, ValueColumn)).row(), 120);
    EXPECT_EQ(grid.visualRect(grid.model()->index(100, ValueColumn)).top(), 0);
    ClickIndicator(110);
    EXPECT_EQ(grid.Selection().SelectedRows(), std::vector<int>{110});
    EXPECT_EQ(table.CurrentRow(), 110);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(105, ErrorColumn));
    EXPECT_EQ(CurrentRow(), 105);
    EXPECT_EQ(grid.FocusedColumn(), ErrorColumn);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 300 - grid.VisibleRowCount());
}

TEST(DataGridHidden, FollowsTheLogWhileHiddenAndShowsTheNewestRowWhenShown) {
    TMemTable table;
    TDataSource source;
    source.SetDataSet(&table);
    TDataGrid grid;
    grid.SetDataSource(&source);
    grid.resize(640, 300);
    for (int i = 0; i < 500; ++i) {
        table.BeginAppend();
        table.MTValue.SetValue(int32_t(i));
        table.PostRecord();
        if (i % 100 == 0)
            QApplication::processEvents();
    }
    EXPECT_EQ(grid.ShownRowCount(), 500);
    EXPECT_EQ(grid.CurrentShownRow(), 499);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    EXPECT_EQ(grid.TopShownRow() + grid.VisibleRowCount() - 1, 499) << "the newest row is the bottom one";
    EXPECT_EQ(grid.RowAt(grid.RowY(499) + 1), 499);
}
