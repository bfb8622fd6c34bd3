#include "view/filter_cell_editor.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QSizeGrip>

namespace {
constexpr int DropDownWidth = 100;
constexpr int DropDownRows = 17;
} // namespace

TFilterCellEditor::TFilterCellEditor(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(DropDownRows);
    view()->setMinimumWidth(DropDownWidth);
}

QWidget* TFilterCellEditor::DropDown() const {
    return view()->window(); // the popup window around the list
}

void TFilterCellEditor::showPopup() {
    QComboBox::showPopup();
    QWidget* dropDown = DropDown();
    if (!m_grip) {
        m_grip = new QSizeGrip(dropDown);
        dropDown->installEventFilter(this);
    }
    const auto resized = m_resizedSizes.find(m_column);
    if (resized != m_resizedSizes.end())
        dropDown->resize(resized->second);
    m_openedSize = dropDown->size();
    PlaceGrip();
}

void TFilterCellEditor::hidePopup() {
    const QSize size = DropDown()->size();
    if (DropDown()->isVisible() && size != m_openedSize)
        m_resizedSizes[m_column] = size;
    QComboBox::hidePopup();
}

bool TFilterCellEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DropDown() && event->type() == QEvent::Resize)
        PlaceGrip();
    return QComboBox::eventFilter(watched, event);
}

void TFilterCellEditor::PlaceGrip() {
    // Over the list's bottom right corner, where a resizable list has its grip.
    const QSize grip = m_grip->sizeHint();
    const QWidget* dropDown = DropDown();
    m_grip->setGeometry(dropDown->width() - grip.width(), dropDown->height() - grip.height(), grip.width(),
                        grip.height());
    m_grip->raise();
    m_grip->show();
}
