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
    // Ends a Shift extension: the next one starts from what is selected then.
    void EndExtension() { m_extending = false; }

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
};
