#include "view/uniform_row_view.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

TUniformRowView::TUniformRowView(QWidget* parent) : QTableView(parent) {
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
}

void TUniformRowView::setModel(QAbstractItemModel* model) {
    for (const QMetaObject::Connection& connection : m_modelConnections)
        disconnect(connection);
    m_modelConnections.clear();
    QTableView::setModel(model);
    DetachRowHeader();
    if (!model)
        return;
    // The table relays out when its row header's count changes; that header counts no rows here.
    const auto relayout = [this] { scheduleDelayedItemsLayout(); };
    m_modelConnections = {connect(model, &QAbstractItemModel::rowsInserted, this, relayout),
                          connect(model, &QAbstractItemModel::rowsRemoved, this, relayout),
                          connect(model, &QAbstractItemModel::modelReset, this, relayout),
                          connect(model, &QAbstractItemModel::layoutChanged, this, relayout)};
}

void TUniformRowView::DetachRowHeader() {
    if (verticalHeader()->model() != &m_noRows)
        verticalHeader()->setModel(&m_noRows);
}

void TUniformRowView::SetRowHeight(int height) {
    m_rowHeight = std::max(1, height);
    scheduleDelayedItemsLayout();
}

int TUniformRowView::RowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TUniformRowView::TopShownRow() const {
    return verticalScrollBar()->value();
}

void TUniformRowView::SetTopShownRow(int row) {
    verticalScrollBar()->setValue(row);
}

int TUniformRowView::VisibleRowCount() const {
    return std::max(1, viewport()->height() / m_rowHeight);
}

int TUniformRowView::RowAt(int y) const {
    if (y < 0)
        return -1;
    const int row = TopShownRow() + y / m_rowHeight;
    return row < RowCount() ? row : -1;
}

std::pair<int, int> TUniformRowView::RowsBetween(int top, int bottom) const {
    const int first = TopShownRow() + std::max(0, top) / m_rowHeight;
    return {first, std::min(RowCount() - 1, TopShownRow() + std::max(0, bottom) / m_rowHeight)};
}

QRect TUniformRowView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model() || index.row() >= RowCount())
        return {};
    const int line = showGrid() ? 1 : 0;
    return QRect(columnViewportPosition(index.column()), RowY(index.row()),
                 columnWidth(index.column()) - line, m_rowHeight - line);
}

QModelIndex TUniformRowView::indexAt(const QPoint& point) const {
    const int row = RowAt(point.y());
    const int column = columnAt(point.x());
    return row < 0 || column < 0 ? QModelIndex() : model()->index(row, column, rootIndex());
}

int TUniformRowView::verticalOffset() const {
    return TopShownRow() * m_rowHeight;
}

QRegion TUniformRowView::visualRegionForSelection(const QItemSelection&) const {
    return QRegion(viewport()->rect()); // a screen of rows is cheap to repaint
}

void TUniformRowView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != model())
        return;
    executeDelayedItemsLayout(); // the range must count rows just inserted
    QScrollBar* rows = verticalScrollBar();
    const int top = rows->value();
    {
        // The table scrolls the columns; its row part would read the row header, which has no rows.
        const QSignalBlocker blocker(rows);
        QTableView::scrollTo(index, hint);
        rows->setValue(top);
    }
    const int page = VisibleRowCount();
    const int row = index.row();
    switch (hint) {
    case EnsureVisible:
        if (row < top)
            rows->setValue(row);
        else if (row >= top + page)
            rows->setValue(row - page + 1);
        break;
    case PositionAtTop:
        rows->setValue(row);
        break;
    case PositionAtBottom:
        rows->setValue(row - page + 1);
        break;
    case PositionAtCenter:
        rows->setValue(row - page / 2);
        break;
    }
}

void TUniformRowView::updateGeometries() {
    QScrollBar* rows = verticalScrollBar();
    const int top = rows->value();
    {
        // The table places the headers and the column range; the row range it sets counts no rows.
        const QSignalBlocker blocker(rows);
        QTableView::updateGeometries();
    }
    const int page = VisibleRowCount();
    rows->setRange(0, std::max(0, RowCount() - page));
    rows->setPageStep(page);
    rows->setSingleStep(1);
    rows->setValue(top);
    verticalHeader()->viewport()->update();
}

void TUniformRowView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, 0);
    if (dy != 0) {
        viewport()->update();
        verticalHeader()->viewport()->update();
    }
}

void TUniformRowView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const auto [firstRow, lastRow] = RowsBetween(dirty.top(), dirty.bottom());
    PaintCells(painter, dirty, firstRow, lastRow);
    if (showGrid())
        PaintGridLines(painter, dirty, firstRow, lastRow);
}

void TUniformRowView::PaintCells(QPainter& painter, const QRect& dirty, int firstRow, int lastRow) const {
    QStyleOptionViewItem base;
    initViewItemOption(&base);
    const bool focused = hasFocus() || viewport()->hasFocus();
    const QHeaderView* titles = horizontalHeader();
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int visual = 0; visual < titles->count(); ++visual) {
            const int column = titles->logicalIndex(visual);
            const QModelIndex index = model()->index(row, column, rootIndex());
            QStyleOptionViewItem option = base;
            option.rect = visualRect(index);
            if (titles->isSectionHidden(column) || !option.rect.intersects(dirty))
                continue;
            if (selectionModel()->isSelected(index))
                option.state |= QStyle::State_Selected;
            if (focused && index == currentIndex())
                option.state |= QStyle::State_HasFocus;
            style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
            itemDelegate()->paint(&painter, option, index);
        }
    }
}

// A line under every row, and the column lines down to the bottom of the viewport, below the last row too.
void TUniformRowView::PaintGridLines(QPainter& painter, const QRect& dirty, int firstRow, int lastRow) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const auto color = static_cast<QRgb>(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this));
    painter.setPen(QPen(QColor::fromRgba(color), 0, gridStyle()));
    const QHeaderView* titles = horizontalHeader();
    int right = dirty.left();
    for (int visual = 0; visual < titles->count(); ++visual) {
        const int column = titles->logicalIndex(visual);
        if (titles->isSectionHidden(column))
            continue;
        const int x = columnViewportPosition(column) + columnWidth(column) - 1;
        right = std::max(right, x);
        painter.drawLine(x, dirty.top(), x, dirty.bottom());
    }
    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = RowY(row) + m_rowHeight - 1;
        painter.drawLine(dirty.left(), y, std::min(right, dirty.right()), y);
    }
}
