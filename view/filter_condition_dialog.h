#pragma once

#include "view/filter_expression.h"

#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;
class QRadioButton;

// "Пользовательский фильтр": a column's condition as two rows of operator and value joined by AND or OR.
// The dialog only composes the condition text; the filter row parses and keeps it.
class TFilterConditionDialog : public QDialog {
public:
    explicit TFilterConditionDialog(QWidget* parent = nullptr);

    // Shows as much of a condition as the two rows can hold.
    void SetCondition(const TFilterExpression& condition);
    // The condition text of the rows, in the filter row's syntax; empty when no operator is chosen.
    std::string ConditionText() const;

    QComboBox* Operator(int row) const { return m_operators[row]; }
    QLineEdit* Value(int row) const { return m_values[row]; }
    QRadioButton* AndButton() const { return m_and; }
    QRadioButton* OrButton() const { return m_or; }

private:
    void SetRow(int row, const TFilterComparison& comparison);
    std::string RowText(int row) const;

    QComboBox* m_operators[2];
    QLineEdit* m_values[2];
    QRadioButton* m_and;
    QRadioButton* m_or;
};
