#pragma once

#include <QStyledItemDelegate>

// Draws a log cell on one line: tabs expanded, line breaks shown as blanks, no mnemonic characters, clipped to
// the cell. The focused cell is drawn in the selection colours while the grid has the focus.
class TGridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
