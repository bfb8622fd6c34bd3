#include "view/filter_condition_dialog.h"

#include "core/text_codec.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

const char* const TFilterConditionDialog::OperatorTexts[18] = {
    "\xF0\xE0\xE2\xED\xEE",                                           // равно
    "\xED\xE5 \xF0\xE0\xE2\xED\xEE",                                  // не равно
    "\xE1\xEE\xEB\xFC\xF8\xE5",                                       // больше
    "\xE1\xEE\xEB\xFC\xF8\xE5 \xE8\xEB\xE8 \xF0\xE0\xE2\xED\xEE",     // больше или равно
    "\xEC\xE5\xED\xFC\xF8\xE5",                                       // меньше
    "\xEC\xE5\xED\xFC\xF8\xE5 \xE8\xEB\xE8 \xF0\xE0\xE2\xED\xEE",     // меньше или равно
    "\xED\xE0\xF7\xE8\xED\xE0\xE5\xF2\xF1\xFF \xF1",                  // начинается с
    "\xED\xE5 \xED\xE0\xF7\xE8\xED\xE0\xE5\xF2\xF1\xFF \xF1",         // не начинается с
    "\xE7\xE0\xEA\xE0\xED\xF7\xE8\xE2\xE0\xE5\xF2\xF1\xFF \xED\xE0",  // заканчивается на
    "\xED\xE5 \xE7\xE0\xEA\xE0\xED\xF7\xE8\xE2\xE0\xE5\xF2\xF1\xFF \xED\xE0", // не заканчивается на
    "\xF1\xEE\xE4\xE5\xF0\xE6\xE8\xF2",                               // содержит
    "\xED\xE5 \xF1\xEE\xE4\xE5\xF0\xE6\xE8\xF2",                      // не содержит
    "\xEF\xEE\xE4\xEE\xE1\xED\xEE",                                   // подобно
    "\xED\xE5 \xEF\xEE\xE4\xEE\xE1\xED\xEE",                          // не подобно
    "\xE2 \xF1\xEF\xE8\xF1\xEA\xE5",                                  // в списке
    "\xED\xE5 \xE2 \xF1\xEF\xE8\xF1\xEA\xE5",                         // не в списке
    "\xEF\xF3\xF1\xF2\xFB\xE5",                                       // пустые
    "\xED\xE5 \xEF\xF3\xF1\xF2\xFB\xE5",                              // не пустые
};

namespace {

// The entries' positions in the lists (0 is the empty entry).
enum TDialogOperator {
    doNone, doEqual, doNotEqual, doGreater, doGreaterOrEqual, doLess, doLessOrEqual, doBeginsWith, doNotBeginsWith,
    doEndsWith, doNotEndsWith, doContains, doNotContains, doLike, doNotLike, doInList, doNotInList, doEmpty,
    doNotEmpty
};

std::string Quoted(const std::string& value) {
    std::string quoted = "'";
    for (char c : value)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// A LIKE pattern seen as the dialog's begins/ends/contains forms.
TDialogOperator LikeForm(const std::string& pattern, bool negated, std::string& value) {
    bool front = pattern.size() > 1 && pattern.front() == '%';
    bool back = pattern.size() > 1 && pattern.back() == '%';
    value = pattern.substr(front ? 1 : 0, pattern.size() - (front ? 1 : 0) - (back ? 1 : 0));
    if (front && back)
        return negated ? doNotContains : doContains;
    if (back)
        return negated ? doNotBeginsWith : doBeginsWith;
    if (front)
        return negated ? doNotEndsWith : doEndsWith;
    value = pattern;
    return negated ? doNotLike : doLike;
}

} // namespace

TFilterConditionDialog::TFilterConditionDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Пользовательский фильтр"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromUtf8("Показывать только те записи, значения которых:"), this));
    auto* rows = new QGridLayout;
    m_and = new QRadioButton(QString::fromUtf8("&И"), this);
    m_or = new QRadioButton(QString::fromUtf8("И&ли"), this);
    m_and->setChecked(true);
    for (int row = 0; row < 2; ++row) {
        m_operators[row] = new QComboBox(this);
        m_operators[row]->addItem(QString());
        for (const char* text : OperatorTexts)
            m_operators[row]->addItem(FromCp1251(text));
        m_values[row] = new QLineEdit(this);
        rows->addWidget(m_operators[row], row * 2, 0);
        rows->addWidget(m_values[row], row * 2, 1);
    }
    auto* relation = new QHBoxLayout;
    relation->addWidget(m_and);
    relation->addWidget(m_or);
    relation->addStretch();
    rows->addLayout(relation, 1, 0, 1, 2);
    layout->addLayout(rows);
    layout->addWidget(new QLabel(QString::fromUtf8("Знак '_' обозначает один любой знак"), this));
    layout->addWidget(new QLabel(QString::fromUtf8("Знак '%' обозначает последовательность любых знаков"), this));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TFilterConditionDialog::SetCondition(const TFilterExpression& condition) {
    for (int row = 0; row < 2; ++row) {
        m_operators[row]->setCurrentIndex(doNone);
        m_values[row]->clear();
    }
    if (!condition.IsSet())
        return;
    SetRow(0, condition.first);
    if (condition.relation != TFilterRelation::None)
        SetRow(1, condition.second);
    (condition.relation == TFilterRelation::Or ? m_or : m_and)->setChecked(true);
}

void TFilterConditionDialog::SetRow(int row, const TFilterComparison& comparison) {
    std::string value;
    for (const TFilterOperand& operand : comparison.operands)
        value += (value.empty() ? "" : ", ") + operand.text;
    TDialogOperator op = doNone;
    switch (comparison.op) {
    case TFilterOperator::Equal: op = doEqual; break;
    case TFilterOperator::NotEqual: op = doNotEqual; break;
    case TFilterOperator::Greater: op = doGreater; break;
    case TFilterOperator::GreaterOrEqual: op = doGreaterOrEqual; break;
    case TFilterOperator::Less: op = doLess; break;
    case TFilterOperator::LessOrEqual: op = doLessOrEqual; break;
    case TFilterOperator::Like: op = LikeForm(value, false, value); break;
    case TFilterOperator::NotLike: op = LikeForm(value, true, value); break;
    case TFilterOperator::InList: op = doInList; break;
    case TFilterOperator::NotInList: op = doNotInList; break;
    case TFilterOperator::IsEmpty: op = doEmpty; break;
    case TFilterOperator::IsNotEmpty: op = doNotEmpty; break;
    }
    m_operators[row]->setCurrentIndex(op);
    m_values[row]->setText(FromCp1251(value));
}

std::string TFilterConditionDialog::RowText(int row) const {
    std::string value = ToCp1251(m_values[row]->text());
    switch (static_cast<TDialogOperator>(m_operators[row]->currentIndex())) {
    case doNone: return {};
    case doEqual: return "= " + Quoted(value);
    case doNotEqual: return "<> " + Quoted(value);
    case doGreater: return "> " + Quoted(value);
    case doGreaterOrEqual: return ">= " + Quoted(value);
    case doLess: return "< " + Quoted(value);
    case doLessOrEqual: return "<= " + Quoted(value);
    case doBeginsWith: return "~ " + Quoted(value + "%");
    case doNotBeginsWith: return "!~ " + Quoted(value + "%");
    case doEndsWith: return "~ " + Quoted("%" + value);
    case doNotEndsWith: return "!~ " + Quoted("%" + value);
    case doContains: return "~ " + Quoted("%" + value + "%");
    case doNotContains: return "!~ " + Quoted("%" + value + "%");
    case doLike: return "~ " + Quoted(value);
    case doNotLike: return "!~ " + Quoted(value);
    case doInList: return "IN (" + value + ")";
    case doNotInList: return "NOT IN (" + value + ")";
    case doEmpty: return "NULL";
    case doNotEmpty: return "NOT NULL";
    }
    return {};
}

std::string TFilterConditionDialog::ConditionText() const {
    std::string first = RowText(0);
    std::string second = RowText(1);
    if (first.empty() || second.empty())
        return first.empty() ? second : first;
    return first + (m_or->isChecked() ? " OR " : " AND ") + second;
}
