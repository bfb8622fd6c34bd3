#pragma once

#include <QComboBox>
#include <QSize>
#include <map>

class QSizeGrip;

// The filter row's cell editor: a line with a drop-down list 100 pixels wide showing up to 17 rows. The list
// has a size grip; a list the user resized opens at that size again for the same column, for the life of
// the window.
class TFilterCellEditor : public QComboBox {
public:
    explicit TFilterCellEditor(QWidget* parent);

    // The column whose list size the next drop-down uses and remembers.
    void SetColumn(int column) { m_column = column; }

    void showPopup() override;
    void hidePopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* DropDown() const;
    void PlaceGrip();

    int m_column = -1;
    QSize m_openedSize;                  // the size the list had when it opened
    std::map<int, QSize> m_resizedSizes; // per column, once the user resized its list
    QSizeGrip* m_grip = nullptr;
};
