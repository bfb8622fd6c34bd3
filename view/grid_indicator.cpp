#include "view/grid_indicator.h"

#include "view/grid_cursors.h"
#include "view/uniform_row_view.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <qdrawutil.h>

TGridIndicator::TGridIndicator(TUniformRowView& rows) : QHeaderView(Qt::Vertical, &rows), m_rows(rows) {
    setSectionsClickable(false);
    setSectionsMovable(false);
    setHighlightSections(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Fixed);
    viewport()->setCursor(RightArrowCursor());
}

QSize TGridIndicator::sizeHint() const {
    return QSize(MarkWidth + 1, m_rows.RowCount() * m_rows.RowHeight());
}

void TGridIndicator::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const auto [first, last] = m_rows.RowsBetween(event->rect().top(), event->rect().bottom());
    for (int row = first; row <= last; ++row) {
        const QRect rect(0, m_rows.RowY(row), viewport()->width(), m_rows.RowHeight());
        qDrawShadePanel(&painter, rect, palette(), false, 1, &palette().brush(QPalette::Button));
        if (MarkOf)
            DrawMark(&painter, rect, MarkOf(row));
    }
}

void TGridIndicator::DrawMark(QPainter* painter, const QRect& rect, TIndicatorMark mark) const {
    if (mark == TIndicatorMark::None)
        return;
    painter->setRenderHint(QPainter::Antialiasing, false);
    QColor ink = palette().color(QPalette::ButtonText);
    painter->setPen(ink);
    painter->setBrush(ink);
    QPoint c = rect.center();
    switch (mark) {
    case TIndicatorMark::Browse:
        painter->drawPolygon(QPolygon({{c.x() - 2, c.y() - 4}, {c.x() + 2, c.y()}, {c.x() - 2, c.y() + 4}}));
        break;
    case TIndicatorMark::BrowseSelected: // the arrow with a bar: the current row is also selected
        painter->drawPolygon(QPolygon({{c.x() - 3, c.y() - 4}, {c.x() + 1, c.y()}, {c.x() - 3, c.y() + 4}}));
        painter->drawLine(c.x() + 3, c.y() - 4, c.x() + 3, c.y() + 4);
        break;
    case TIndicatorMark::Edit: // an I-beam
        painter->drawLine(c.x(), c.y() - 4, c.x(), c.y() + 4);
        painter->drawLine(c.x() - 2, c.y() - 4, c.x() + 2, c.y() - 4);
        painter->drawLine(c.x() - 2, c.y() + 4, c.x() + 2, c.y() + 4);
        break;
    case TIndicatorMark::Insert: // an asterisk
        painter->drawLine(c.x(), c.y() - 3, c.x(), c.y() + 3);
        painter->drawLine(c.x() - 3, c.y() - 2, c.x() + 3, c.y() + 2);
        painter->drawLine(c.x() - 3, c.y() + 2, c.x() + 3, c.y() - 2);
        break;
    case TIndicatorMark::None: break;
    }
}

void TGridIndicator::mousePressEvent(QMouseEvent* event) {
    int row = m_rows.RowAt(event->position().toPoint().y());
    if (event->button() != Qt::LeftButton || row < 0)
        return;
    m_dragging = true;
    m_lastDragRow = row;
    if (OnRowPress)
        OnRowPress(row, event->modifiers());
}

void TGridIndicator::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging)
        return;
    int y = std::clamp(event->position().toPoint().y(), 0, viewport()->height() - 1);
    int row = m_rows.RowAt(y);
    if (row >= 0 && row != m_lastDragRow) {
        m_lastDragRow = row;
        if (OnRowDrag)
            OnRowDrag(row);
    }
}

void TGridIndicator::mouseReleaseEvent(QMouseEvent*) {
    m_dragging = false;
}

void TGridIndicator::mouseDoubleClickEvent(QMouseEvent*) {}
