#include "view/grid_selection.h"

#include <QHeaderView>
#include <QTableView>
#include <algorithm>

void TGridSelection::Clear() {
    m_kind = TGridSelectionKind::None;
    EndExtension();
    if (m_view.selectionModel())
        m_view.selectionModel()->clearSelection();
}

void TGridSelection::Begin(TGridSelectionKind kind) {
    if (m_kind != kind && m_kind != TGridSelectionKind::None)
        Clear();
    m_kind = kind;
}

QItemSelection TGridSelection::RowRange(int first, int last) const {
    QAbstractItemModel* model = m_view.model();
    if (first > last)
        std::swap(first, last);
    return QItemSelection(model->index(first, 0), model->index(last, model->columnCount() - 1));
}

QItemSelection TGridSelection::CellRange(int firstRow, int lastRow, int fromColumn, int toColumn) const {
    QAbstractItemModel* model = m_view.model();
    QHeaderView* header = m_view.horizontalHeader();
    if (firstRow > lastRow)
        std::swap(firstRow, lastRow);
    int fromVisual = header->visualIndex(fromColumn);
    int toVisual = header->visualIndex(toColumn);
    if (fromVisual > toVisual)
        std::swap(fromVisual, toVisual);
    QItemSelection selection;
    for (int visual = fromVisual; visual <= toVisual; ++visual) {
        int column = header->logicalIndex(visual);
        selection.select(model->index(firstRow, column), model->index(lastRow, column));
    }
    return selection;
}

void TGridSelection::Apply(const QItemSelection& selection) {
    m_view.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TGridSelection::SelectRow(int row) {
    Clear();
    m_kind = TGridSelectionKind::Rows;
    Apply(RowRange(row, row));
}

void TGridSelection::ToggleRow(int row) {
    Begin(TGridSelectionKind::Rows);
    m_extending = false;
    m_view.selectionModel()->select(RowRange(row, row), IsRowSelected(row) ? QItemSelectionModel::Deselect
                                                                           : QItemSelectionModel::Select);
    if (!m_view.selectionModel()->hasSelection())
        m_kind = TGridSelectionKind::None;
}

void TGridSelection::ExtendRows(int anchorRow, int row) {
    Begin(TGridSelectionKind::Rows);
    if (!m_extending) {
        m_base = m_view.selectionModel()->selection();
        m_extending = true;
    }
    QItemSelection selection = m_base;
    selection.merge(RowRange(anchorRow, row), QItemSelectionModel::Select);
    Apply(selection);
}

void TGridSelection::ExtendRectangle(int anchorRow, int anchorColumn, int row, int column) {
    Begin(TGridSelectionKind::Rectangle);
    if (!m_extending) {
        m_base = m_view.selectionModel()->selection();
        m_extending = true;
    }
    QItemSelection selection = m_base;
    selection.merge(CellRange(anchorRow, row, anchorColumn, column), QItemSelectionModel::Select);
    Apply(selection);
}

void TGridSelection::SelectColumn(int column) {
    Clear();
    SelectColumns(column, column);
}

void TGridSelection::SelectColumns(int fromColumn, int toColumn) {
    Begin(TGridSelectionKind::Columns);
    m_extending = false;
    int rows = m_view.model()->rowCount();
    if (rows == 0)
        return;
    Apply(CellRange(0, rows - 1, fromColumn, toColumn));
}

void TGridSelection::ToggleColumn(int column) {
    Begin(TGridSelectionKind::Columns);
    m_extending = false;
    int rows = m_view.model()->rowCount();
    if (rows == 0)
        return;
    bool selected = m_view.selectionModel()->isColumnSelected(column);
    m_view.selectionModel()->select(CellRange(0, rows - 1, column, column),
                                    selected ? QItemSelectionModel::Deselect : QItemSelectionModel::Select);
}

std::vector<int> TGridSelection::SelectedRows() const {
    std::vector<int> rows;
    if (m_kind != TGridSelectionKind::Rows || !m_view.selectionModel())
        return rows;
    for (const QItemSelectionRange& range : m_view.selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool TGridSelection::IsRowSelected(int row) const {
    return m_kind == TGridSelectionKind::Rows && m_view.selectionModel() &&
           m_view.selectionModel()->isSelected(m_view.model()->index(row, 0));
}

void TGridSelection::EndExtension() {
    m_extending = false;
    m_base.clear();
    m_anchorRow = -1;
}

void TGridSelection::ExtendByKey(int fromRow, int fromColumn, int row, int column, bool rowWise) {
    if (m_anchorRow < 0) {
        EndExtension();
        m_anchorRow = fromRow;
        m_anchorColumn = fromColumn;
    }
    if (rowWise && m_kind != TGridSelectionKind::Rectangle)
        ExtendRows(m_anchorRow, row);
    else
        ExtendRectangle(m_anchorRow, m_anchorColumn, row, column);
}

void TGridSelection::CellPress(int row, int column, Qt::KeyboardModifiers modifiers, int currentRow,
                               int currentColumn) {
    if (modifiers.testFlag(Qt::ShiftModifier) && currentRow >= 0) {
        ExtendByKey(currentRow, currentColumn, row, column, false);
        return;
    }
    if (!modifiers.testFlag(Qt::ControlModifier))
        Clear();
    EndExtension();
    m_anchorRow = row;
    m_anchorColumn = column;
}

void TGridSelection::CellDrag(int row, int column) {
    if (m_anchorRow >= 0)
        ExtendRectangle(m_anchorRow, m_anchorColumn, row, column);
}

void TGridSelection::IndicatorPress(int row, Qt::KeyboardModifiers modifiers, int currentRow) {
    EndExtension();
    int anchor = row;
    if (modifiers.testFlag(Qt::ControlModifier)) {
        ToggleRow(row);
    } else if (modifiers.testFlag(Qt::ShiftModifier) && currentRow >= 0) {
        Clear();
        ExtendRows(currentRow, row);
        anchor = currentRow;
    } else {
        SelectRow(row);
    }
    EndExtension();
    m_anchorRow = anchor;
}

void TGridSelection::IndicatorDrag(int row) {
    if (m_anchorRow >= 0)
        ExtendRows(m_anchorRow, row);
}

void TGridSelection::TitleBandPress(int column, Qt::KeyboardModifiers modifiers) {
    EndExtension();
    if (modifiers.testFlag(Qt::ControlModifier)) {
        ToggleColumn(column);
    } else if (modifiers.testFlag(Qt::ShiftModifier) && m_columnAnchor >= 0) {
        SelectColumns(m_columnAnchor, column);
    } else {
        SelectColumn(column);
        m_columnAnchor = column;
    }
}
