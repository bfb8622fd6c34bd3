#pragma once

#include <QHeaderView>
#include <functional>

// The column titles of the log grid: raised, left-aligned, never sorting. Dragging a title moves its column,
// dragging its right border resizes it; the lowest pixels of a title select the column instead. A band under
// the titles holds a widget of the grid's choosing (the filter row).
class TGridTitleHeader : public QHeaderView {
public:
    explicit TGridTitleHeader(QWidget* parent = nullptr);

    static constexpr int ColumnSelectBand = 7;

    // The widget shown under the titles, over the whole header width; the header keeps its geometry.
    void SetBottomWidget(QWidget* widget, int height);
    QWidget* BottomWidget() const { return m_bottomWidget; }

    // A press in the column-select band of a title (logical column, modifiers held).
    std::function<void(int column, Qt::KeyboardModifiers modifiers)> OnColumnSelectClick;

    QSize sizeHint() const override;
    // Whether a viewport point lies in a title's column-select band (and not on a border).
    bool InColumnSelectBand(QPoint point) const;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool OnBorder(int x) const;
    void PlaceBottomWidget();

    QWidget* m_bottomWidget = nullptr;
    int m_bottomHeight = 0;
};
