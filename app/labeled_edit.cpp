#include "app/labeled_edit.h"

#include <QLabel>

namespace {
constexpr int LabelSpacing = 3;
} // namespace

TLabeledEdit::TLabeledEdit(const QString& caption, QWidget* parent)
    : QLineEdit(parent), m_label(new QLabel(caption, parent)) {
    m_label->adjustSize();
    PlaceLabel();
}

void TLabeledEdit::SetBounds(const QRect& bounds) {
    setGeometry(bounds);
    PlaceLabel();
}

void TLabeledEdit::moveEvent(QMoveEvent* event) {
    QLineEdit::moveEvent(event);
    PlaceLabel();
}

void TLabeledEdit::PlaceLabel() { m_label->move(x(), y() - m_label->height() - LabelSpacing); }
