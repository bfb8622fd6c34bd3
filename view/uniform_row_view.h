#pragma once

#include <QStandardItemModel>
#include <QTableView>
#include <utility>
#include <vector>

// A table view whose rows all have one height, so that a row's place on screen is arithmetic and nothing the
// view does for an append, a scroll or a repaint depends on how many rows there are. Qt's row header keeps a
// position per row and recomputes all of them after every insert; here the row header is given no rows of
// its own and the view lays out, paints and hit-tests the rows itself. The row header stays the column left
// of the cells (its widget is placed by the table); what it shows is painted from the same arithmetic.
class TUniformRowView : public QTableView {
public:
    explicit TUniformRowView(QWidget* parent = nullptr);

    // Set the row header (setVerticalHeader) before the model.
    void setModel(QAbstractItemModel* model) override;

    int RowHeight() const { return m_rowHeight; }
    void SetRowHeight(int height);
    int RowCount() const;
    // The first row on screen, and the number of rows that fit on it whole (at least one).
    int TopShownRow() const;
    void SetTopShownRow(int row);
    int VisibleRowCount() const;
    // The row under a viewport y, or -1; the y of a row's top edge.
    int RowAt(int y) const;
    int RowY(int row) const { return (row - TopShownRow()) * m_rowHeight; }
    // The rows a band of the viewport from y top to y bottom shows, first and last (last < first for none).
    std::pair<int, int> RowsBetween(int top, int bottom) const;

    QRect visualRect(const QModelIndex& index) const override;
    QModelIndex indexAt(const QPoint& point) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    int verticalOffset() const override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;

private:
    void PaintCells(QPainter& painter, const QRect& dirty, int firstRow, int lastRow) const;
    void PaintGridLines(QPainter& painter, const QRect& dirty, int firstRow, int lastRow) const;
    void DetachRowHeader();

    QStandardItemModel m_noRows; // what the row header is bound to
    std::vector<QMetaObject::Connection> m_modelConnections;
    int m_rowHeight = 20;
};
