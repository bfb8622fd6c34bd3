#pragma once

#include "view/filter_cell_editor.h"
#include "view/filter_parser.h"

#include <QWidget>
#include <functional>
#include <vector>

class QHeaderView;

// The row under the grid's titles: one cell per column showing that column's condition text. A click, or the
// grid's Up on the first record or Ctrl+Up, opens an editor with a drop-down list of commands in the cell.
// Conditions are kept for the life of the window; they are applied only on request (Enter, "apply").
class TFilterRow : public QWidget {
public:
    enum TEntry { ClearFilter, ApplyFilter, Condition, All, NotEmpty, Empty };
    static const char* const EntryTexts[6]; // in TEntry order

    explicit TFilterRow(QHeaderView& titles);
    ~TFilterRow() override;

    // One type per column, in column order; all conditions start empty.
    void SetColumnTypes(std::vector<TFilterExpressionType> types);
    int ColumnCount() const { return static_cast<int>(m_conditions.size()); }
    const std::vector<TFilterExpression>& Conditions() const { return m_conditions; }
    const TFilterExpression& ConditionOf(int column) const { return m_conditions.at(column); }
    bool AnyCondition() const;
    // Parses and stores a column's condition text; a bad text raises its error and keeps the previous one.
    void SetConditionText(int column, const std::string& text);
    void ClearConditions();

    void StartEdit(int column);
    bool IsEditing() const { return m_editedColumn >= 0; }
    int EditedColumn() const { return m_editedColumn; }
    QComboBox& Editor() const { return *m_editor; }
    // Takes the editor's text as its column's condition; a bad text is shown in an error box and false comes
    // back, the editor staying open with the previous condition in force.
    bool AcceptEditor();
    void CloseEditor();
    // The drop-down entries' effects on the edited column (or the given one).
    void ChooseEntry(TEntry entry, int column);

    std::function<void()> OnApply;
    // The editor was left by Esc or Down: the grid takes the focus back.
    std::function<void()> OnLeave;

    QRect CellRect(int column) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceEditor();
    void EditorKey(QKeyEvent* event, bool& handled);
    void ShowError(const std::string& message);
    void KeepParsableText();
    // "(Условие...)": the condition dialog on the column's condition; OK stores the dialog's condition.
    void EditInDialog(int column);

    QHeaderView& m_titles;
    TFilterCellEditor* m_editor;
    std::vector<TFilterExpression> m_conditions;
    TFilterLocale m_locale;
    int m_editedColumn = -1;
    QString m_typedText;
    bool m_inModal = false;
};
