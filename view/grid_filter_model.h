#pragma once

#include <QAbstractProxyModel>
#include <functional>
#include <vector>

// The rows of a flat table that the grid shows: all of them, or those a filter accepts. The filter lives
// here, in the view, never in the table. Rows appended to the source are tested one by one as they arrive,
// and a row whose single-cell change arrives is tested again, so a new record appears once its fields match.
class TGridFilterModel : public QAbstractProxyModel {
public:
    using TRowFilter = std::function<bool(int sourceRow)>;

    explicit TGridFilterModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* sourceModel) override;

    // An empty filter shows every row.
    void SetRowFilter(TRowFilter filter);
    bool IsFiltering() const { return static_cast<bool>(m_filter); }

    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    // The shown row of a source row, or of the nearest shown row before it (after it when none is before);
    // -1 when nothing is shown.
    int NearestShownRow(int sourceRow) const;
    int SourceRow(int row) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void ConnectSource();
    void RebuildRows();
    void SourceRowsAboutToBeInserted(int first, int last);
    void SourceRowsInserted(int first, int last);
    void SourceRowsAboutToBeRemoved(int first, int last);
    void SourceRowsRemoved(int first, int last);
    void SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);
    void RetestRow(int sourceRow);
    // The first position in m_rows holding a source row at or after the given one.
    size_t LowerBound(int sourceRow) const;

    TRowFilter m_filter;
    std::vector<int> m_rows; // source rows shown, ascending; used only while filtering
    std::vector<QMetaObject::Connection> m_connections;
};
