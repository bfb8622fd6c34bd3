#pragma once

#include <QItemSelection>
#include <vector>

class QTableView;

enum class TGridSelectionKind { None, Rows, Rectangle, Columns };

// The grid's selection: whole rows (from the indicator or Shift with Up and Down), a rectangle of cells, or
// whole columns; one kind at a time. Only selected rows count for deleting. Columns are given as logical
// indexes; rectangles span columns in screen order.
class TGridSelection {
public:
    explicit TGridSelection(QTableView& view) : m_view(view) {}

    TGridSelectionKind Kind() const { return m_kind; }
    void Clear();

    void SelectRow(int row);
    void ToggleRow(int row);
    // Rows between the anchor and the row, added to what was selected when the extension began.
    void ExtendRows(int anchorRow, int row);
    void ExtendRectangle(int anchorRow, int anchorColumn, int row, int column);
    void SelectColumn(int column);
    void ToggleColumn(int column);
    void SelectColumns(int fromColumn, int toColumn);
    // Ends a Shift extension or a drag: the next one starts from what is selected then.
    void EndExtension();

    // The gestures. Shift with a move key extends from the cell current when the extension began (rows for
    // vertical moves unless a rectangle is being extended); a press on a cell clears the selection unless
    // Ctrl or Shift is held, Shift extending a rectangle; a press on the indicator selects the row, Ctrl
    // toggles it, Shift selects from the current row; a press in a title's band selects the column, Shift the
    // columns between, Ctrl toggles it. Drags extend from the press.
    void ExtendByKey(int fromRow, int fromColumn, int row, int column, bool rowWise);
    void CellPress(int row, int column, Qt::KeyboardModifiers modifiers, int currentRow, int currentColumn);
    void CellDrag(int row, int column);
    void IndicatorPress(int row, Qt::KeyboardModifiers modifiers, int currentRow);
    void IndicatorDrag(int row);
    void TitleBandPress(int column, Qt::KeyboardModifiers modifiers);

    // Rows selected as rows, ascending; empty for a cell or column selection.
    std::vector<int> SelectedRows() const;
    bool IsRowSelected(int row) const;

private:
    void Begin(TGridSelectionKind kind);
    QItemSelection RowRange(int first, int last) const;
    QItemSelection CellRange(int firstRow, int lastRow, int fromColumn, int toColumn) const;
    void Apply(const QItemSelection& selection);

    QTableView& m_view;
    TGridSelectionKind m_kind = TGridSelectionKind::None;
    QItemSelection m_base; // what the running extension adds to
    bool m_extending = false;
    int m_anchorRow = -1; // where the running extension or drag started; -1 when none runs
    int m_anchorColumn = -1;
    int m_columnAnchor = -1;
};
