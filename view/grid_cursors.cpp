#include "view/grid_cursors.h"

#include <QBitmap>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr int CursorSize = 32;

// A black arrow with a white outline, drawn into a 1-bit cursor pair (white where the mask is set).
QCursor ArrowCursor(const QPolygon& arrow, QPoint hotSpot) {
    QBitmap shape(CursorSize, CursorSize);
    QBitmap mask(CursorSize, CursorSize);
    shape.fill(Qt::color0);
    mask.fill(Qt::color0);
    {
        QPainter painter(&mask);
        painter.setPen(QPen(Qt::color1, 3));
        painter.setBrush(Qt::color1);
        painter.drawPolygon(arrow);
    }
    {
        QPainter painter(&shape);
        painter.setPen(Qt::color1);
        painter.setBrush(Qt::color1);
        painter.drawPolygon(arrow);
    }
    return QCursor(shape, mask, hotSpot.x(), hotSpot.y());
}

} // namespace

QCursor RightArrowCursor() {
    QPolygon arrow({{2, 6}, {10, 6}, {10, 2}, {16, 8}, {10, 14}, {10, 10}, {2, 10}});
    return ArrowCursor(arrow, {16, 8});
}

QCursor DownArrowCursor() {
    QPolygon arrow({{6, 2}, {10, 2}, {10, 10}, {14, 10}, {8, 16}, {2, 10}, {6, 10}});
    return ArrowCursor(arrow, {8, 16});
}
