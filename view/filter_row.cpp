#include "view/filter_row.h"

#include "core/error_box.h"
#include "core/exceptions.h"
#include "core/platform.h"
#include "core/text_codec.h"
#include "view/filter_cell_editor.h"
#include "view/filter_condition_dialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <qdrawutil.h>

const char* const TFilterRow::EntryTexts[6] = {
    "(Очистить фильтр)", "(Применить фильтр)", "(Условие...)", "(Все)", "(Не пустые)", "(Пустые)",
};

TFilterRow::TFilterRow(QHeaderView& titles)
    : QWidget(&titles), m_titles(titles), m_editor(new TFilterCellEditor(this)), m_locale(UserFilterLocale()) {
    for (const char* text : EntryTexts)
        m_editor->addItem(QString::fromUtf8(text));
    m_editor->hide();
    m_editor->installEventFilter(this);
    m_editor->lineEdit()->installEventFilter(this);
    // Picking an entry puts its text into the line; the user's own text is what the entry works on.
    connect(m_editor->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) { m_typedText = text; });
    connect(m_editor, &QComboBox::activated, this, [this](int entry) {
        if (m_editedColumn < 0)
            return;
        m_editor->setEditText(m_typedText);
        ChooseEntry(static_cast<TEntry>(entry), m_editedColumn);
    });
    connect(&m_titles, &QHeaderView::sectionResized, this, [this] { PlaceEditor(); update(); });
    connect(&m_titles, &QHeaderView::sectionMoved, this, [this] { PlaceEditor(); update(); });
}

TFilterRow::~TFilterRow() = default;

void TFilterRow::SetColumnTypes(std::vector<TFilterExpressionType> types) {
    CloseEditor();
    m_conditions.assign(types.size(), {});
    for (size_t i = 0; i < types.size(); ++i)
        m_conditions[i].type = types[i];
    update();
}

bool TFilterRow::AnyCondition() const {
    for (const TFilterExpression& condition : m_conditions)
        if (condition.IsSet())
            return true;
    return false;
}

void TFilterRow::SetConditionText(int column, const std::string& text) {
    TFilterExpression& condition = m_conditions.at(column);
    condition = ParseFilterExpression(text, condition.type, m_locale);
    update();
}

void TFilterRow::ClearConditions() {
    for (TFilterExpression& condition : m_conditions) {
        TFilterExpressionType type = condition.type;
        condition = {};
        condition.type = type;
    }
    update();
}

QRect TFilterRow::CellRect(int column) const {
    return QRect(m_titles.sectionViewportPosition(column), 0, m_titles.sectionSize(column), height());
}

void TFilterRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().brush(QPalette::Button));
    for (int column = 0; column < ColumnCount(); ++column) {
        if (m_titles.isSectionHidden(column))
            continue;
        QRect cell = CellRect(column);
        qDrawShadePanel(&painter, cell, palette(), true, 1, &palette().brush(QPalette::Base));
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(cell.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         FromCp1251(m_conditions[column].text));
    }
}

void TFilterRow::mousePressEvent(QMouseEvent* event) {
    int column = m_titles.logicalIndexAt(event->position().toPoint().x());
    if (event->button() == Qt::LeftButton && column >= 0 && column < ColumnCount())
        StartEdit(column);
}

void TFilterRow::StartEdit(int column) {
    if (column < 0 || column >= ColumnCount())
        return;
    if (m_editedColumn != column)
        KeepParsableText();
    m_editedColumn = column;
    m_editor->SetColumn(column);
    m_typedText = FromCp1251(m_conditions[column].text);
    m_editor->setEditText(m_typedText);
    PlaceEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->lineEdit()->selectAll();
}

void TFilterRow::PlaceEditor() {
    if (m_editedColumn >= 0)
        m_editor->setGeometry(CellRect(m_editedColumn));
}

void TFilterRow::CloseEditor() {
    m_editedColumn = -1;
    if (m_editor->isVisible())
        m_editor->hide();
    update();
}

bool TFilterRow::AcceptEditor() {
    if (m_editedColumn < 0)
        return true;
    try {
        SetConditionText(m_editedColumn, ToCp1251(m_editor->currentText()));
        return true;
    } catch (const Exception& e) {
        ShowError(e.Message());
        return false;
    }
}

void TFilterRow::KeepParsableText() {
    if (m_editedColumn < 0)
        return;
    // Leaving a cell keeps a text that parses; a bad one is dropped without a box.
    try {
        SetConditionText(m_editedColumn, ToCp1251(m_editor->currentText()));
    } catch (const Exception&) {
    }
}

void TFilterRow::ShowError(const std::string& message) {
    m_inModal = true;
    QMessageBox box(QMessageBox::Critical, FromCp1251(ApplicationTitle(ExecutablePath())),
                    FromCp1251(ErrorBoxText(message)), QMessageBox::Ok, this);
    box.exec();
    m_inModal = false;
    if (m_editedColumn >= 0)
        m_editor->setFocus(Qt::OtherFocusReason);
}

void TFilterRow::EditInDialog(int column) {
    TFilterConditionDialog dialog(this);
    dialog.SetCondition(m_conditions.at(column));
    m_inModal = true; // the editor loses the focus to the dialog, not to the user
    bool accepted = dialog.exec() == QDialog::Accepted;
    m_inModal = false;
    if (!accepted)
        return;
    try {
        SetConditionText(column, dialog.ConditionText());
    } catch (const Exception& e) {
        ShowError(e.Message());
    }
}

void TFilterRow::ChooseEntry(TEntry entry, int column) {
    switch (entry) {
    case ClearFilter:
        CloseEditor();
        ClearConditions();
        if (OnApply)
            OnApply();
        return;
    case ApplyFilter:
        if (OnApply)
            OnApply();
        return;
    case Condition:
        if (m_editedColumn == column && !AcceptEditor())
            return;
        EditInDialog(column);
        break;
    case All: SetConditionText(column, ""); break;
    case NotEmpty: SetConditionText(column, "<>Null"); break;
    case Empty: SetConditionText(column, "=Null"); break;
    }
    if (m_editedColumn == column) {
        m_typedText = FromCp1251(m_conditions[column].text);
        m_editor->setEditText(m_typedText);
    }
}

bool TFilterRow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        bool handled = false;
        EditorKey(static_cast<QKeyEvent*>(event), handled);
        if (handled)
            return true;
    } else if (event->type() == QEvent::FocusOut && !m_inModal) {
        // The combo box holds the focus and passes focus events to its line directly, past this filter.
        auto* focus = static_cast<QFocusEvent*>(event);
        if (focus->reason() != Qt::PopupFocusReason && m_editedColumn >= 0 && !m_editor->view()->isVisible()) {
            KeepParsableText();
            CloseEditor();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFilterRow::EditorKey(QKeyEvent* event, bool& handled) {
    if (m_editedColumn < 0 || m_editor->view()->isVisible())
        return;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        handled = true;
        if (OnApply)
            OnApply();
        break;
    case Qt::Key_Escape:
    case Qt::Key_Down:
        if (event->key() == Qt::Key_Down && event->modifiers().testFlag(Qt::AltModifier))
            return; // Alt+Down opens the list
        handled = true;
        CloseEditor();
        if (OnLeave)
            OnLeave();
        break;
    default: break;
    }
}
