#include "view/grid_title_header.h"

#include "view/grid_cursors.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

TGridTitleHeader::TGridTitleHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsMovable(true);
    setSectionsClickable(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setMinimumSectionSize(0);
    setSectionResizeMode(QHeaderView::Interactive);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setStretchLastSection(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

void TGridTitleHeader::SetBottomWidget(QWidget* widget, int height) {
    m_bottomWidget = widget;
    m_bottomHeight = widget ? height : 0;
    if (widget)
        widget->setParent(this);
    setViewportMargins(0, 0, 0, m_bottomHeight);
    PlaceBottomWidget();
    updateGeometry();
}

QSize TGridTitleHeader::sizeHint() const {
    return QSize(length(), fontMetrics().height() + 6 + m_bottomHeight);
}

void TGridTitleHeader::resizeEvent(QResizeEvent* event) {
    QHeaderView::resizeEvent(event);
    PlaceBottomWidget();
}

void TGridTitleHeader::PlaceBottomWidget() {
    if (!m_bottomWidget)
        return;
    m_bottomWidget->setGeometry(0, height() - m_bottomHeight, width(), m_bottomHeight);
    m_bottomWidget->show();
}

void TGridTitleHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    painter->save();
    qDrawShadePanel(painter, rect, palette(), false, 1, &palette().brush(QPalette::Button));
    QString title = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->drawText(rect.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title);
    painter->restore();
}

bool TGridTitleHeader::OnBorder(int x) const {
    int margin = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    int visual = visualIndexAt(x);
    if (visual < 0)
        return false;
    int logical = logicalIndex(visual);
    int left = sectionViewportPosition(logical);
    int right = left + sectionSize(logical);
    return x - left < margin || right - x <= margin;
}

bool TGridTitleHeader::InColumnSelectBand(QPoint point) const {
    int titleHeight = viewport()->height();
    return point.y() >= titleHeight - ColumnSelectBand && point.y() < titleHeight && logicalIndexAt(point.x()) >= 0 &&
           !OnBorder(point.x());
}

void TGridTitleHeader::mousePressEvent(QMouseEvent* event) {
    QPoint point = event->position().toPoint();
    if (event->button() == Qt::LeftButton && InColumnSelectBand(point)) {
        if (OnColumnSelectClick)
            OnColumnSelectClick(logicalIndexAt(point.x()), event->modifiers());
        event->accept();
        return;
    }
    QHeaderView::mousePressEvent(event);
}

void TGridTitleHeader::mouseMoveEvent(QMouseEvent* event) {
    QHeaderView::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton && InColumnSelectBand(event->position().toPoint()))
        viewport()->setCursor(DownArrowCursor());
    else
        viewport()->unsetCursor();
}
