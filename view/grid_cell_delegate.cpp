#include "view/grid_cell_delegate.h"

#include <QAbstractItemView>
#include <QPainter>

void TGridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    bool focused = view && view->hasFocus() && view->currentIndex() == index;
    bool selected = option.state.testFlag(QStyle::State_Selected) || focused;
    QPalette::ColorGroup group = option.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;

    painter->save();
    if (selected)
        painter->fillRect(option.rect, option.palette.brush(group, QPalette::Highlight));
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(option.rect);
    int flags = Qt::TextSingleLine | Qt::TextExpandTabs | Qt::TextHideMnemonic;
    QVariant alignment = index.data(Qt::TextAlignmentRole);
    flags |= alignment.isValid() ? alignment.toInt() : int(Qt::AlignLeft | Qt::AlignVCenter);
    painter->drawText(option.rect.adjusted(2, 0, -2, 0), flags, index.data(Qt::DisplayRole).toString());
    painter->restore();
}
