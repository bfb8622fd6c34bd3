#include "app/link_label.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, QColor(0, 0, 128));
    setPalette(colours);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setAlignment(Qt::AlignRight | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        OnClick(this);
}
