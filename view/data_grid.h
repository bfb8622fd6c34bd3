#pragma once

#include "core/component.h"
#include "view/grid_indicator.h"
#include "view/grid_selection.h"
#include "view/uniform_row_view.h"

#include <functional>
#include <memory>
#include <vector>

class TDataSource;
class TFilterRow;
class TGridColumnLayout;
class TGridFilterModel;
class TGridTitleHeader;
class TLogTableModel;
class TMemTable;

// The log grid (DataGrid1): one row per record of the table behind its data source, one column per field,
// with an indicator column, a filter row under the titles, row and cell selection and the delete and copy
// commands. Its current row is the table's current record. The filter row hides rows in the grid only.
class TDataGrid : public TUniformRowView, public TComponent {
public:
    explicit TDataGrid(QWidget* parent = nullptr, TComponent* owner = nullptr, std::string name = "DataGrid1");
    ~TDataGrid() override;

    TDataSource* DataSource() const;
    void SetDataSource(TDataSource* dataSource);
    TMemTable* Table() const;

    // Column widths without the one-pixel column line; columns are the table's fields in field order.
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    // The width a column gets from its field's display width in the grid's font.
    int DefaultColumnWidth(int column) const;
    // Gives the auto-fit column (Error) the rest of the client width; runs on every layout change.
    void AutoFitColumns();

    TFilterRow& FilterRow() const { return *m_filterRow; }
    // Takes the text being edited in the filter row, then filters the shown rows by every column's
    // condition (or calls OnApplyFilter when assigned). False when the edited text did not parse.
    bool ApplyFilter();
    std::function<void(TDataGrid& sender)> OnApplyFilter;

    // Ctrl+F: the find dialog connects here.
    std::function<void(TDataGrid& sender)> OnFindRequest;
    // A context-menu request at a screen point, or Ctrl+G (then at the focused cell).
    std::function<void(TDataGrid& sender, QPoint globalPos, bool byKey)> OnContextRequest;

    // What the find dialog reads and moves: the rows shown, in row order; visible columns in screen order.
    int ShownRowCount() const;
    int CurrentShownRow() const;
    int FocusedColumn() const;
    std::vector<int> VisibleColumns() const;
    QString ColumnTitle(int column) const;
    // The text the grid shows in a cell; the log's fields have no display formats, so it is also their plain
    // text.
    QString CellText(int shownRow, int column) const;
    // The table's row behind a shown row; -1 outside the shown rows.
    int TableRow(int shownRow) const;
    // Moves the current cell there, and the table's current record with it.
    void SetCurrentCell(int shownRow, int column);

    const TGridSelection& Selection() const { return m_selection; }
    // Ctrl+Delete: after the confirmation, the current record or every selected row.
    void DeleteSelectedRecords();
    // Ctrl+': the value of the same column in the row above goes into the current cell, left pending.
    void CopyFromRowAbove();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;

private:
    enum class TMove { Plain, KeepSelection, Extend };

    void BindColumns();
    void ApplyRowHeight();
    void SyncCurrentFromTable();
    void ScrollToCurrent();
    void MoveTableTo(int shownRow);
    void MoveTo(int row, int column, TMove move, bool rowWise);
    bool HandleNavigationKey(QKeyEvent* event);
    bool HandleCommandKey(QKeyEvent* event);
    int ColumnAtVisual(int visual) const;
    void TabTo(bool forward);
    void SetCurrent(int row, int column);
    int BottomVisibleRow() const;
    void ApplyConditions();
    void CancelPendingChange();
    TIndicatorMark MarkOf(int row) const;
    void UpdateIndicator();

    std::unique_ptr<TLogTableModel> m_tableModel;
    TGridFilterModel* m_shownRows;
    TGridTitleHeader* m_titles;
    TGridIndicator* m_indicator;
    TFilterRow* m_filterRow;
    std::unique_ptr<TGridColumnLayout> m_columns;
    TGridSelection m_selection;
    TMemTable* m_boundTable = nullptr;
    bool m_syncingFromTable = false;
    bool m_dragging = false;
    int m_lastColumn = -1; // the focused column, kept across resets of the rows
};
