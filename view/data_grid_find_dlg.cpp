#include "view/data_grid_find_dlg.h"

#include "view/cell_text_reader.h"
#include "view/data_grid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {
const char* const AllColumns = "<All>";

// The direction list's order: up, down, the whole log from the top.
TSearchDirection DirectionAt(int index) {
    switch (index) {
    case 0:
        return sdUp;
    case 1:
        return sdDown;
    default:
        return sdFromTop;
    }
}

QComboBox* MakeList(QWidget* parent, const QStringList& items) {
    auto* list = new QComboBox(parent);
    list->addItems(items);
    return list;
}
} // namespace

TDataGridFindDlg::TDataGridFindDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Поиск"));
    CreateControls();
    ConnectFirstSearchResets();
    connect(m_bFind, &QPushButton::clicked,
            [this] { FindNext(QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier)); });
    connect(m_bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TDataGridFindDlg::CreateControls() {
    m_cbText = new QComboBox(this);
    m_cbText->setEditable(true);
    m_cbText->setInsertPolicy(QComboBox::NoInsert); // the history is kept by Find next
    m_cbText->setMinimumWidth(200);
    m_cbFindIn = new QComboBox(this);
    m_cbMatchinType = MakeList(this, {QString::fromUtf8("С любой части поля"),
                                      QString::fromUtf8("Поля целиком"), QString::fromUtf8("С начала поля")});
    m_cbFindDirection =
        MakeList(this, {QString::fromUtf8("Вверх"), QString::fromUtf8("Вниз"), QString::fromUtf8("Все")});
    m_cbFindDirection->setCurrentIndex(2);
    m_cbCharCase = new QCheckBox(QString::fromUtf8("С учетом ре&гистра"), this);
    m_cbUseFormat = new QCheckBox(QString::fromUtf8("С у&четом формата"), this);
    m_cbUseFormat->setChecked(true);
    m_bFind = new QPushButton(QString::fromUtf8("На&йти далее"), this);
    m_bFind->setDefault(true);
    m_bCancel = new QPushButton(QString::fromUtf8("Закрыть"), this);

    auto* layout = new QGridLayout(this);
    const std::pair<const char*, QComboBox*> rows[] = {{"&Образец:", m_cbText},
                                                       {"&Поиск в:", m_cbFindIn},
                                                       {"&Совпадение:", m_cbMatchinType},
                                                       {"Прос&мотр:", m_cbFindDirection}};
    int row = 0;
    for (const auto& [caption, list] : rows) {
        auto* label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(list);
        layout->addWidget(label, row, 0);
        layout->addWidget(list, row++, 1);
    }
    layout->addWidget(m_cbCharCase, row++, 1);
    layout->addWidget(m_cbUseFormat, row++, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_bFind);
    buttons->addWidget(m_bCancel);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 2, row, 1);
    // Not resizable.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TDataGridFindDlg::ConnectFirstSearchResets() {
    const auto reset = [this] { m_firstSearch = true; };
    connect(m_cbText, &QComboBox::editTextChanged, reset);
    connect(m_cbFindIn, &QComboBox::currentIndexChanged, reset);
    connect(m_cbFindDirection, &QComboBox::currentIndexChanged, reset);
}

void TDataGridFindDlg::Prepare(TDataGrid& grid, const QString& text) {
    m_grid = &grid;
    m_visibleColumns = grid.VisibleColumns();
    m_cbFindIn->clear();
    for (int column : m_visibleColumns)
        m_cbFindIn->addItem(grid.ColumnTitle(column));
    m_cbFindIn->addItem(AllColumns);
    const auto focused = std::find(m_visibleColumns.begin(), m_visibleColumns.end(), grid.FocusedColumn());
    m_cbFindIn->setCurrentIndex(static_cast<int>(focused - m_visibleColumns.begin()));
    m_cbText->setEditText(text);
    m_firstSearch = true;
    m_cbText->setFocus();
}

void TDataGridFindDlg::Execute(TDataGrid& grid, const QString& text) {
    Prepare(grid, text);
    CentreOnScreen();
    exec();
}

void TDataGridFindDlg::CentreOnScreen() {
    adjustSize();
    const QScreen* screen = m_grid ? m_grid->screen() : QGuiApplication::primaryScreen();
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TDataGridFindDlg::RememberText(const QString& text) {
    if (m_cbText->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return;
    // Adding may select the new item, which sets the same text again; that is no change of the search.
    const bool firstSearch = m_firstSearch;
    m_cbText->addItem(text);
    m_cbText->setEditText(text);
    m_firstSearch = firstSearch;
}

TSearchDirection TDataGridFindDlg::Direction(bool reversed) const {
    TSearchDirection direction = DirectionAt(m_cbFindDirection->currentIndex());
    if (reversed)
        return direction == sdUp ? sdDown : sdUp;
    if (direction == sdFromTop && !m_firstSearch)
        return sdDown;
    return direction;
}

std::vector<int> TDataGridFindDlg::SearchedColumns() const {
    const auto chosen = static_cast<size_t>(m_cbFindIn->currentIndex());
    if (chosen < m_visibleColumns.size())
        return {m_visibleColumns[chosen]};
    return m_visibleColumns;
}

bool TDataGridFindDlg::FindNext(bool reversed) {
    const QString text = m_cbText->currentText();
    RememberText(text);
    TMemTable* table = m_grid ? m_grid->Table() : nullptr;
    if (!table)
        return false;
    const std::vector<int> columns = SearchedColumns();
    const auto focused = std::find(columns.begin(), columns.end(), m_grid->FocusedColumn());
    const TSearchCell current{m_grid->CurrentShownRow(),
                              focused == columns.end() ? 0 : static_cast<int>(focused - columns.begin())};
    // The log's fields have no display formats, so a cell's displayed text is also its field's plain text;
    // both ways of comparing (cbUseFormat) read the same text. The grid's columns are the table's fields.
    const TCellSearch search(text, static_cast<TMatchType>(m_cbMatchinType->currentIndex()),
                             m_cbCharCase->isChecked());
    TCellTextReader cells(*table);
    const auto found = search.Find(Direction(reversed), current, m_grid->ShownRowCount(),
                                   static_cast<int>(columns.size()), [&](int row, int column) {
                                       return cells.Text(m_grid->TableRow(row), columns[static_cast<size_t>(column)]);
                                   });
    // Without a match the grid has not moved: it stays on its record and its place in the window.
    if (!found)
        return false;
    m_grid->SetCurrentCell(found->Row, columns[static_cast<size_t>(found->Column)]);
    m_firstSearch = false;
    return true;
}

void TDataGridFindDlg::keyPressEvent(QKeyEvent* event) {
    // Enter anywhere finds next, with Ctrl in the other direction.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !(event->modifiers() & ~(Qt::ControlModifier | Qt::KeypadModifier))) {
        FindNext(event->modifiers().testFlag(Qt::ControlModifier));
        return;
    }
    QDialog::keyPressEvent(event);
}

void AttachFindDialog(TDataGrid& grid) {
    grid.OnFindRequest = [dialog = static_cast<TDataGridFindDlg*>(nullptr)](TDataGrid& sender) mutable {
        if (!dialog)
            dialog = new TDataGridFindDlg(&sender); // owned by the grid as its child
        dialog->Execute(sender);
    };
}
