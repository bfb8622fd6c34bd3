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
#include <initializer_list>
#include <iterator>

namespace {

// The entries' positions in the lists (0 is the empty entry).
enum TDialogOperator {
    doNone, doEqual, doNotEqual, doGreater, doGreaterOrEqual, doLess, doLessOrEqual, doBeginsWith, doNotBeginsWith,
    doEndsWith, doNotEndsWith, doContains, doNotContains, doLike, doNotLike, doInList, doNotInList, doEmpty,
    doNotEmpty
};

// How a row's value follows the operator in the condition text.
enum class TOperandForm { None, Quoted, List };

struct TDialogOperatorInfo {
    TDialogOperator entry;
    const char* caption;
    const char* typed; // the operator as the filter row reads it
    TOperandForm operand;
    bool anyBefore; // a pattern: "%" before the value
    bool anyAfter;  // and after it
};

// The lists' entries after the empty one, in their order.
constexpr TDialogOperatorInfo DialogOperators[] = {
    {doEqual, "равно", "= ", TOperandForm::Quoted, false, false},
    {doNotEqual, "не равно", "<> ", TOperandForm::Quoted, false, false},
    {doGreater, "больше", "> ", TOperandForm::Quoted, false, false},
    {doGreaterOrEqual, "больше или равно", ">= ", TOperandForm::Quoted, false, false},
    {doLess, "меньше", "< ", TOperandForm::Quoted, false, false},
    {doLessOrEqual, "меньше или равно", "<= ", TOperandForm::Quoted, false, false},
    {doBeginsWith, "начинается с", "~ ", TOperandForm::Quoted, false, true},
    {doNotBeginsWith, "не начинается с", "!~ ", TOperandForm::Quoted, false, true},
    {doEndsWith, "заканчивается на", "~ ", TOperandForm::Quoted, true, false},
    {doNotEndsWith, "не заканчивается на", "!~ ", TOperandForm::Quoted, true, false},
    {doContains, "содержит", "~ ", TOperandForm::Quoted, true, true},
    {doNotContains, "не содержит", "!~ ", TOperandForm::Quoted, true, true},
    {doLike, "подобно", "~ ", TOperandForm::Quoted, false, false},
    {doNotLike, "не подобно", "!~ ", TOperandForm::Quoted, false, false},
    {doInList, "в списке", "IN ", TOperandForm::List, false, false},
    {doNotInList, "не в списке", "NOT IN ", TOperandForm::List, false, false},
    {doEmpty, "пустые", "NULL", TOperandForm::None, false, false},
    {doNotEmpty, "не пустые", "NOT NULL", TOperandForm::None, false, false},
};
constexpr int DialogOperatorCount = static_cast<int>(std::size(DialogOperators));

constexpr bool EveryDialogOperatorAtItsPlace() {
    for (int i = 0; i < DialogOperatorCount; ++i)
        if (DialogOperators[i].entry != doEqual + i)
            return false;
    return true;
}
static_assert(EveryDialogOperatorAtItsPlace(), "DialogOperators lists the entries in the lists' order");

const TDialogOperatorInfo& InfoOf(TDialogOperator entry) { return DialogOperators[entry - doEqual]; }

std::string Quoted(const std::string& value) {
    std::string quoted = "'";
    for (char c : value)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

// A LIKE pattern seen as one of the dialog's forms of that operator: the form whose "%" the pattern has around
// its value. The first form is the one without "%"; it takes a pattern that fits no other whole.
TDialogOperator PatternForm(std::initializer_list<TDialogOperator> forms, const std::string& pattern,
                            std::string& value) {
    const bool front = pattern.size() > 1 && pattern.front() == '%';
    const bool back = pattern.size() > 1 && pattern.back() == '%';
    for (TDialogOperator form : forms) {
        const TDialogOperatorInfo& info = InfoOf(form);
        if (info.anyBefore == front && info.anyAfter == back) {
            value = pattern.substr(front ? 1 : 0, pattern.size() - (front ? 1 : 0) - (back ? 1 : 0));
            return form;
        }
    }
    value = pattern;
    return *forms.begin();
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
        for (const TDialogOperatorInfo& op : DialogOperators)
            m_operators[row]->addItem(QString::fromUtf8(op.caption));
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
    case TFilterOperator::Like:
        op = PatternForm({doLike, doBeginsWith, doEndsWith, doContains}, value, value);
        break;
    case TFilterOperator::NotLike:
        op = PatternForm({doNotLike, doNotBeginsWith, doNotEndsWith, doNotContains}, value, value);
        break;
    case TFilterOperator::InList: op = doInList; break;
    case TFilterOperator::NotInList: op = doNotInList; break;
    case TFilterOperator::IsEmpty: op = doEmpty; break;
    case TFilterOperator::IsNotEmpty: op = doNotEmpty; break;
    }
    m_operators[row]->setCurrentIndex(op);
    m_values[row]->setText(FromCp1251(value));
}

std::string TFilterConditionDialog::RowText(int row) const {
    const int entry = m_operators[row]->currentIndex();
    if (entry < doEqual || entry >= doEqual + DialogOperatorCount)
        return {}; // the empty entry
    const TDialogOperatorInfo& op = InfoOf(static_cast<TDialogOperator>(entry));
    const std::string value = ToCp1251(m_values[row]->text());
    const std::string text = op.typed;
    switch (op.operand) {
    case TOperandForm::None: return text;
    case TOperandForm::Quoted:
        return text + Quoted((op.anyBefore ? "%" : "") + value + (op.anyAfter ? "%" : ""));
    case TOperandForm::List: return text + "(" + value + ")";
    }
    return text;
}

std::string TFilterConditionDialog::ConditionText() const {
    std::string first = RowText(0);
    std::string second = RowText(1);
    if (first.empty() || second.empty())
        return first.empty() ? second : first;
    return first + (m_or->isChecked() ? " OR " : " AND ") + second;
}
