#pragma once

#include <QLineEdit>

class QLabel;

// A single-line edit that carries its own caption label, kept left-aligned with it and 3 pixels above it.
class TLabeledEdit : public QLineEdit {
public:
    TLabeledEdit(const QString& caption, QWidget* parent);

    QLabel* EditLabel() const { return m_label; }
    // Places the edit and, with it, its label.
    void SetBounds(const QRect& bounds);

protected:
    void moveEvent(QMoveEvent* event) override;

private:
    void PlaceLabel();

    QLabel* m_label;
};
