#include "view/data_grid.h"

#include "core/date_time.h"
#include "core/text_codec.h"
#include "log/mem_table.h"
#include "view/data_grid_find_dlg.h"
#include "view/data_source.h"
#include "view/filter_row.h"
#include "view/grid_cell_delegate.h"
#include "view/grid_column_layout.h"
#include "view/grid_filter_model.h"
#include "view/grid_title_header.h"
#include "view/log_row_filter.h"
#include "view/log_table_model.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>

namespace {
constexpr int MinimumGridWidth = 300;
} // namespace

TDataGrid::TDataGrid(QWidget* parent, TComponent* owner, std::string name)
    : TUniformRowView(parent), TComponent(owner, std::move(name)), m_shownRows(new TGridFilterModel(this)),
      m_titles(new TGridTitleHeader(this)), m_indicator(new TGridIndicator(*this)),
      m_filterRow(new TFilterRow(*m_titles)), m_columns(std::make_unique<TGridColumnLayout>(*m_titles)),
      m_selection(*this) {
    setObjectName(QString::fromStdString(Name()));
    setHorizontalHeader(m_titles);
    setVerticalHeader(m_indicator);
    setItemDelegate(new TGridCellDelegate(this));
    setModel(m_shownRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setAutoScroll(true);
    setMinimumWidth(MinimumGridWidth);
    ApplyRowHeight();

    connect(m_titles, &QHeaderView::sectionResized, this,
            [this](int column, int oldSize, int newSize) {
                if (m_columns->Fitting())
                    return;
                m_columns->Resized(column, oldSize, newSize);
                AutoFitColumns();
            });
    connect(m_titles, &QHeaderView::sectionMoved, this, [this] { AutoFitColumns(); });
    connect(m_shownRows, &QAbstractItemModel::modelReset, this, [this] {
        BindColumns();
        SyncCurrentFromTable();
        ScrollToCurrent();
    });
    m_indicator->MarkOf = [this](int row) { return MarkOf(row); };
    m_indicator->OnRowPress = [this](int row, Qt::KeyboardModifiers modifiers) {
        setFocus(Qt::MouseFocusReason);
        m_selection.IndicatorPress(row, modifiers, CurrentShownRow());
        SetCurrent(row, FocusedColumn());
    };
    m_indicator->OnRowDrag = [this](int row) {
        m_selection.IndicatorDrag(row);
        SetCurrent(row, FocusedColumn());
    };
    m_titles->OnColumnSelectClick = [this](int column, Qt::KeyboardModifiers modifiers) {
        setFocus(Qt::MouseFocusReason);
        m_selection.TitleBandPress(column, modifiers);
        if (CurrentShownRow() >= 0)
            SetCurrent(CurrentShownRow(), column);
    };
    m_filterRow->OnApply = [this] { ApplyFilter(); };
    m_filterRow->OnLeave = [this] { setFocus(Qt::OtherFocusReason); };
    AttachFindDialog(*this);
}

TDataGrid::~TDataGrid() {
    m_shownRows->setSourceModel(nullptr);
}

TDataSource* TDataGrid::DataSource() const {
    return m_tableModel ? m_tableModel->DataSource() : nullptr;
}

void TDataGrid::SetDataSource(TDataSource* dataSource) {
    if (dataSource == DataSource())
        return;
    m_shownRows->setSourceModel(nullptr);
    m_tableModel.reset();
    if (dataSource) {
        m_tableModel = std::make_unique<TLogTableModel>(*dataSource);
        m_tableModel->OnCursorChanged = [this] { SyncCurrentFromTable(); };
        m_tableModel->OnStateChanged = [this] { UpdateIndicator(); };
        m_shownRows->setSourceModel(m_tableModel.get());
    }
}

TMemTable* TDataGrid::Table() const {
    return m_tableModel ? m_tableModel->Table() : nullptr;
}

void TDataGrid::ApplyRowHeight() {
    int rowHeight = fontMetrics().height() + 4;
    SetRowHeight(rowHeight);
    m_titles->SetBottomWidget(m_filterRow, rowHeight);
}

void TDataGrid::BindColumns() {
    TMemTable* table = Table();
    if (table == m_boundTable)
        return;
    m_boundTable = table;
    std::vector<TFilterExpressionType> types;
    if (table) {
        m_columns->Bind(*table, fontMetrics());
        for (int column = 0; column < TMemTable::FieldCount; ++column)
            types.push_back(FilterTypeOfColumn(*table, column));
    }
    m_filterRow->SetColumnTypes(std::move(types));
    AutoFitColumns();
}

int TDataGrid::DefaultColumnWidth(int column) const {
    TMemTable* table = Table();
    return table ? TGridColumnLayout::DefaultWidth(*table, column, fontMetrics()) : 0;
}

int TDataGrid::ColumnWidth(int column) const {
    return m_columns->Width(column);
}

void TDataGrid::SetColumnWidth(int column, int width) {
    m_titles->resizeSection(column, std::max(0, width) + 1); // treated as a user resize
}

std::vector<int> TDataGrid::VisibleColumns() const {
    return m_columns->VisibleColumns();
}

void TDataGrid::AutoFitColumns() {
    int indicatorWidth = m_indicator->isHidden() ? 0 : m_indicator->width();
    m_columns->AutoFit(viewport()->width() + indicatorWidth, std::max(0, indicatorWidth - 1));
}

void TDataGrid::resizeEvent(QResizeEvent* event) {
    TUniformRowView::resizeEvent(event);
    AutoFitColumns();
}

void TDataGrid::changeEvent(QEvent* event) {
    TUniformRowView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ApplyRowHeight();
        AutoFitColumns();
    }
}

void TDataGrid::SyncCurrentFromTable() {
    TMemTable* table = Table();
    int row = table ? m_shownRows->NearestShownRow(table->CurrentRow()) : -1;
    if (row >= 0) {
        int column = m_lastColumn >= 0 ? m_lastColumn : ColumnAtVisual(0);
        m_syncingFromTable = true;
        selectionModel()->setCurrentIndex(m_shownRows->index(row, column), QItemSelectionModel::NoUpdate);
        m_syncingFromTable = false;
    }
    UpdateIndicator();
}

// Another set of rows (a filter applied or cleared) keeps neither the old scroll position nor, often, the row
// number of the current record, so the grid shows the current record again.
void TDataGrid::ScrollToCurrent() {
    if (currentIndex().isValid())
        scrollTo(currentIndex());
}

void TDataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    TUniformRowView::currentChanged(current, previous);
    if (current.isValid())
        m_lastColumn = current.column();
    if (!m_syncingFromTable && current.isValid() && current.row() != previous.row())
        MoveTableTo(current.row());
    UpdateIndicator();
}

void TDataGrid::MoveTableTo(int shownRow) {
    TMemTable* table = Table();
    int source = m_shownRows->SourceRow(shownRow);
    if (!table || source < 0 || source >= table->RecordCount() || table->CurrentRow() == source)
        return;
    table->SetRecNo(source + 1);
}

void TDataGrid::UpdateIndicator() {
    m_indicator->viewport()->update();
}

TIndicatorMark TDataGrid::MarkOf(int row) const {
    TMemTable* table = Table();
    if (!table || row != currentIndex().row())
        return TIndicatorMark::None;
    if (table->CurrentRow() == m_shownRows->SourceRow(row)) {
        if (table->State() == dsInsert)
            return TIndicatorMark::Insert;
        if (table->State() == dsEdit)
            return TIndicatorMark::Edit;
    }
    return m_selection.IsRowSelected(row) ? TIndicatorMark::BrowseSelected : TIndicatorMark::Browse;
}

QItemSelectionModel::SelectionFlags TDataGrid::selectionCommand(const QModelIndex&, const QEvent*) const {
    return QItemSelectionModel::NoUpdate; // the grid keeps its selection itself
}

int TDataGrid::ShownRowCount() const {
    return m_shownRows->rowCount();
}

int TDataGrid::CurrentShownRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

int TDataGrid::FocusedColumn() const {
    if (currentIndex().isValid())
        return currentIndex().column();
    return m_lastColumn >= 0 ? m_lastColumn : ColumnAtVisual(0);
}

int TDataGrid::ColumnAtVisual(int visual) const {
    std::vector<int> columns = VisibleColumns();
    if (columns.empty())
        return -1;
    return columns[std::clamp(visual, 0, static_cast<int>(columns.size()) - 1)];
}

QString TDataGrid::ColumnTitle(int column) const {
    return m_shownRows->headerData(column, Qt::Horizontal).toString();
}

QString TDataGrid::CellText(int shownRow, int column) const {
    return m_shownRows->index(shownRow, column).data().toString();
}

int TDataGrid::TableRow(int shownRow) const {
    return m_shownRows->SourceRow(shownRow);
}

void TDataGrid::SetCurrentCell(int shownRow, int column) {
    MoveTo(shownRow, column, TMove::KeepSelection, false);
    // The grid may already stand on this row while the table's record is one the filter hides.
    MoveTableTo(CurrentShownRow());
}

int TDataGrid::BottomVisibleRow() const {
    return std::min(TopShownRow() + VisibleRowCount() - 1, ShownRowCount() - 1);
}

void TDataGrid::SetCurrent(int row, int column) {
    selectionModel()->setCurrentIndex(m_shownRows->index(row, column), QItemSelectionModel::NoUpdate);
    UpdateIndicator(); // the mark follows the selection too
}

void TDataGrid::MoveTo(int row, int column, TMove move, bool rowWise) {
    int rows = ShownRowCount();
    if (rows == 0 || column < 0)
        return;
    row = std::clamp(row, 0, rows - 1);
    QModelIndex from = currentIndex();
    if (move == TMove::Extend && from.isValid()) {
        m_selection.ExtendByKey(from.row(), from.column(), row, column, rowWise);
    } else if (move == TMove::Plain) {
        m_selection.Clear();
    } else {
        m_selection.EndExtension();
    }
    SetCurrent(row, column);
    UpdateIndicator();
}

void TDataGrid::TabTo(bool forward) {
    int row = CurrentShownRow();
    if (row < 0)
        return;
    std::vector<int> columns = VisibleColumns();
    int visual = static_cast<int>(std::find(columns.begin(), columns.end(), FocusedColumn()) - columns.begin());
    int last = static_cast<int>(columns.size()) - 1;
    if (forward && visual < last)
        MoveTo(row, columns[visual + 1], TMove::Plain, false);
    else if (forward && row + 1 < ShownRowCount())
        MoveTo(row + 1, columns.front(), TMove::Plain, false);
    else if (!forward && visual > 0)
        MoveTo(row, columns[visual - 1], TMove::Plain, false);
    else if (!forward && row > 0)
        MoveTo(row - 1, columns.back(), TMove::Plain, false);
}

bool TDataGrid::HandleNavigationKey(QKeyEvent* event) {
    bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    TMove move = event->modifiers().testFlag(Qt::ShiftModifier) ? TMove::Extend
                 : ctrl                                         ? TMove::KeepSelection
                                                                : TMove::Plain;
    int row = CurrentShownRow();
    int column = FocusedColumn();
    std::vector<int> columns = VisibleColumns();
    if (columns.empty())
        return false;
    int visual = static_cast<int>(std::find(columns.begin(), columns.end(), column) - columns.begin());
    switch (event->key()) {
    case Qt::Key_Up:
        if (ctrl || row <= 0)
            m_filterRow->StartEdit(column);
        else
            MoveTo(row - 1, column, move, true);
        return true;
    case Qt::Key_Down:
        MoveTo(ctrl ? BottomVisibleRow() : row + 1, column, ctrl ? TMove::KeepSelection : move, true);
        return true;
    case Qt::Key_PageUp:
        MoveTo(ctrl ? TopShownRow() : row - VisibleRowCount(), column, move, true);
        return true;
    case Qt::Key_PageDown:
        MoveTo(ctrl ? BottomVisibleRow() : row + VisibleRowCount(), column, move, true);
        return true;
    case Qt::Key_Home:
        if (ctrl)
            MoveTo(0, column, TMove::KeepSelection, true);
        else
            MoveTo(row, columns.front(), move, false);
        return true;
    case Qt::Key_End:
        if (ctrl)
            MoveTo(ShownRowCount() - 1, column, TMove::KeepSelection, true);
        else
            MoveTo(row, columns.back(), move, false);
        return true;
    case Qt::Key_Left:
        MoveTo(row, ctrl ? columns.front() : ColumnAtVisual(visual - 1), move, false);
        return true;
    case Qt::Key_Right:
        MoveTo(row, ctrl ? columns.back() : ColumnAtVisual(visual + 1), move, false);
        return true;
    case Qt::Key_Tab:
        TabTo(true);
        return true;
    case Qt::Key_Backtab:
        TabTo(false);
        return true;
    default:
        return false;
    }
}

bool TDataGrid::HandleCommandKey(QKeyEvent* event) {
    bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Escape:
        CancelPendingChange();
        m_selection.Clear();
        UpdateIndicator();
        return true;
    case Qt::Key_Delete:
        if (ctrl)
            DeleteSelectedRecords();
        return true; // Shift+Delete (cut) does nothing either
    case Qt::Key_F:
        if (!ctrl)
            return false;
        if (OnFindRequest)
            OnFindRequest(*this);
        return true;
    case Qt::Key_G:
        if (!ctrl)
            return false;
        if (OnContextRequest)
            OnContextRequest(*this, viewport()->mapToGlobal(visualRect(currentIndex()).center()), true);
        return true;
    case Qt::Key_Apostrophe:
        if (ctrl)
            CopyFromRowAbove();
        return true;
    default:
        return false;
    }
}

void TDataGrid::keyPressEvent(QKeyEvent* event) {
    if (HandleNavigationKey(event) || HandleCommandKey(event)) {
        event->accept();
        return;
    }
    // No editing, no incremental search and no clipboard commands: other keys go to the window.
    bool typed = !event->text().isEmpty() && event->text().at(0).isPrint();
    bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (typed || ctrl || event->key() == Qt::Key_Insert || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter)
        event->accept();
    else
        event->ignore();
}

void TDataGrid::mousePressEvent(QMouseEvent* event) {
    QModelIndex cell = indexAt(event->position().toPoint());
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton || !cell.isValid())
        return;
    m_selection.CellPress(cell.row(), cell.column(), event->modifiers(), CurrentShownRow(), FocusedColumn());
    SetCurrent(cell.row(), cell.column());
    m_dragging = true;
}

void TDataGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    QPoint point = event->position().toPoint();
    point.setX(std::clamp(point.x(), 0, viewport()->width() - 1));
    point.setY(std::clamp(point.y(), 0, viewport()->height() - 1));
    QModelIndex cell = indexAt(point);
    if (!cell.isValid() || cell == currentIndex())
        return;
    m_selection.CellDrag(cell.row(), cell.column());
    SetCurrent(cell.row(), cell.column());
}

void TDataGrid::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

void TDataGrid::mouseDoubleClickEvent(QMouseEvent*) {}

void TDataGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (OnContextRequest)
        OnContextRequest(*this, event->globalPos(), false);
}

void TDataGrid::DeleteSelectedRecords() {
    TMemTable* table = Table();
    if (!table || table->IsEmpty() || CurrentShownRow() < 0)
        return;
    std::vector<int> rows = m_selection.SelectedRows();
    QWidget* focus = QApplication::focusWidget();
    QMessageBox box(QMessageBox::Question, "Confirm",
                    rows.size() < 2 ? "Delete record?" : "Delete all selected records?",
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    int answer = box.exec();
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
    if (answer != QMessageBox::Ok)
        return;
    if (rows.empty()) {
        MoveTableTo(CurrentShownRow());
        table->DeleteRecord();
        return;
    }
    std::vector<TBookmark> bookmarks;
    for (int row : rows)
        bookmarks.push_back(table->RowBookmark(m_shownRows->SourceRow(row)));
    m_selection.Clear();
    table->DeleteRecords(bookmarks);
}

void TDataGrid::CopyFromRowAbove() {
    TMemTable* table = Table();
    int row = CurrentShownRow();
    if (!table || row <= 0 || table->State() == dsInsert)
        return;
    int column = FocusedColumn();
    MoveTableTo(row);
    TFieldValue value = table->RowValue(m_shownRows->SourceRow(row - 1), column);
    if (std::holds_alternative<std::monostate>(value))
        return;
    if (table->State() != dsEdit)
        table->BeginEdit();
    table->Fields(column).SetValue(value);
    m_selection.Clear();
    UpdateIndicator();
}

void TDataGrid::CancelPendingChange() {
    TMemTable* table = Table();
    if (table && table->State() != dsBrowse)
        table->CancelRecord();
}

// Hiding the filter row's editor hands the focus on with a "next" step, which a table with Tab navigation
// takes as a Tab: the current cell would move on. The focus comes back to the cell where it stood instead.
bool TDataGrid::focusNextPrevChild(bool next) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != this && isAncestorOf(focus)) {
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return TUniformRowView::focusNextPrevChild(next);
}

void TDataGrid::focusOutEvent(QFocusEvent* event) {
    TUniformRowView::focusOutEvent(event);
    TMemTable* table = Table();
    if (table && table->State() == dsInsert && !table->Modified())
        table->CancelRecord();
}

bool TDataGrid::ApplyFilter() {
    if (m_filterRow->IsEditing() && !m_filterRow->AcceptEditor())
        return false;
    if (OnApplyFilter)
        OnApplyFilter(*this);
    else
        ApplyConditions();
    m_filterRow->update();
    viewport()->update();
    return true;
}

void TDataGrid::ApplyConditions() {
    if (!m_tableModel || !m_filterRow->AnyCondition())
        m_shownRows->SetRowFilter({});
    else
        m_shownRows->SetRowFilter(MakeLogRowFilter(*m_tableModel, m_filterRow->Conditions(), Now()));
}
