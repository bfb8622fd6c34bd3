#include "app/save_glyph.h"

#include <QBitmap>
#include <QPainter>

namespace {
constexpr int GlyphSize = 17;
const QColor Olive(128, 128, 0);
const QColor PageYellow(255, 255, 0);
const QColor Grey(128, 128, 128);
const QColor LightGrey(192, 192, 192);

void DrawPage(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(1, 0, 7, 8);
    painter.fillRect(2, 1, 6, 2, PageYellow);
    painter.setPen(Grey);
    for (int y = 4; y <= 6; y += 2)
        painter.drawLine(3, y, 6, y);
}

void DrawArrow(QPainter& painter) {
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(9, 3, 13, 3);  // right
    painter.drawLine(13, 3, 13, 8); // then down
    painter.setBrush(Qt::black);
    const QPoint head[] = {QPoint(11, 8), QPoint(15, 8), QPoint(13, 10)};
    painter.drawPolygon(head, 3);
}

void DrawDrive(QPainter& painter) {
    painter.setPen(Qt::black);
    painter.setBrush(LightGrey);
    painter.drawRect(0, 11, 16, 5);
    painter.setPen(Grey);
    painter.drawLine(1, 15, 15, 15);
    painter.fillRect(12, 13, 2, 2, Qt::red);
}
} // namespace

QPixmap SaveGlyph() {
    QImage image(GlyphSize, GlyphSize, QImage::Format_RGB32);
    image.fill(Olive);
    {
        QPainter painter(&image);
        DrawPage(painter);
        DrawArrow(painter);
        DrawDrive(painter);
    }
    QPixmap glyph = QPixmap::fromImage(image);
    glyph.setMask(QBitmap::fromImage(image.createMaskFromColor(Olive.rgb(), Qt::MaskInColor)));
    return glyph;
}
