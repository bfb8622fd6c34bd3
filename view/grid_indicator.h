#pragma once

#include <QHeaderView>
#include <functional>

// What the indicator cell of a row shows; only the current row has a mark.
enum class TIndicatorMark { None, Browse, BrowseSelected, Edit, Insert };

class TUniformRowView;

// The narrow raised column left of the log grid's cells. It marks the current row and takes the row-selection
// clicks and drags (the pointer is a right-pointing arrow over it); rows cannot be resized. It is the grid's
// row header without rows of its own: it paints and hit-tests the grid's rows by the grid's arithmetic.
class TGridIndicator : public QHeaderView {
public:
    explicit TGridIndicator(TUniformRowView& rows);

    static constexpr int MarkWidth = 11; // without the cell's line

    std::function<TIndicatorMark(int row)> MarkOf;
    // A press on a row's indicator cell, and the rows the mouse then drags over.
    std::function<void(int row, Qt::KeyboardModifiers modifiers)> OnRowPress;
    std::function<void(int row)> OnRowDrag;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void DrawMark(QPainter* painter, const QRect& rect, TIndicatorMark mark) const;

    const TUniformRowView& m_rows;
    bool m_dragging = false;
    int m_lastDragRow = -1;
};
