#include "view/grid_filter_model.h"

#include <algorithm>

TGridFilterModel::TGridFilterModel(QObject* parent) : QAbstractProxyModel(parent) {}

void TGridFilterModel::setSourceModel(QAbstractItemModel* sourceModel) {
    beginResetModel();
    for (const QMetaObject::Connection& connection : m_connections)
        disconnect(connection);
    m_connections.clear();
    QAbstractProxyModel::setSourceModel(sourceModel);
    ConnectSource();
    RebuildRows();
    endResetModel();
}

void TGridFilterModel::ConnectSource() {
    QAbstractItemModel* source = sourceModel();
    if (!source)
        return;
    auto add = [this](QMetaObject::Connection connection) { m_connections.push_back(connection); };
    add(connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this](const QModelIndex&, int first, int last) { SourceRowsAboutToBeInserted(first, last); }));
    add(connect(source, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { SourceRowsInserted(first, last); }));
    add(connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { SourceRowsAboutToBeRemoved(first, last); }));
    add(connect(source, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) { SourceRowsRemoved(first, last); }));
    add(connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); }));
    add(connect(source, &QAbstractItemModel::modelReset, this, [this] {
        RebuildRows();
        endResetModel();
    }));
    add(connect(source, &QAbstractItemModel::dataChanged, this, &TGridFilterModel::SourceDataChanged));
    add(connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged));
    add(connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { beginResetModel(); }));
    add(connect(source, &QAbstractItemModel::layoutChanged, this, [this] {
        RebuildRows();
        endResetModel();
    }));
}

void TGridFilterModel::SetRowFilter(TRowFilter filter) {
    beginResetModel();
    m_filter = std::move(filter);
    RebuildRows();
    endResetModel();
}

void TGridFilterModel::RebuildRows() {
    m_rows.clear();
    if (!m_filter || !sourceModel())
        return;
    int count = sourceModel()->rowCount();
    for (int row = 0; row < count; ++row)
        if (m_filter(row))
            m_rows.push_back(row);
}

size_t TGridFilterModel::LowerBound(int sourceRow) const {
    return std::lower_bound(m_rows.begin(), m_rows.end(), sourceRow) - m_rows.begin();
}

void TGridFilterModel::SourceRowsAboutToBeInserted(int first, int last) {
    if (!m_filter)
        beginInsertRows({}, first, last);
}

void TGridFilterModel::SourceRowsInserted(int first, int last) {
    if (!m_filter) {
        endInsertRows();
        return;
    }
    int count = last - first + 1;
    size_t position = LowerBound(first);
    for (size_t i = position; i < m_rows.size(); ++i) // nothing to move for rows appended at the end
        m_rows[i] += count;
    std::vector<int> accepted;
    for (int row = first; row <= last; ++row)
        if (m_filter(row))
            accepted.push_back(row);
    if (accepted.empty())
        return;
    int proxyFirst = static_cast<int>(position);
    beginInsertRows({}, proxyFirst, proxyFirst + static_cast<int>(accepted.size()) - 1);
    m_rows.insert(m_rows.begin() + position, accepted.begin(), accepted.end());
    endInsertRows();
}

void TGridFilterModel::SourceRowsAboutToBeRemoved(int first, int last) {
    if (!m_filter) {
        beginRemoveRows({}, first, last);
        return;
    }
    size_t begin = LowerBound(first);
    size_t end = LowerBound(last + 1);
    if (begin == end)
        return;
    beginRemoveRows({}, static_cast<int>(begin), static_cast<int>(end) - 1);
    m_rows.erase(m_rows.begin() + begin, m_rows.begin() + end);
    endRemoveRows();
}

void TGridFilterModel::SourceRowsRemoved(int first, int last) {
    if (!m_filter) {
        endRemoveRows();
        return;
    }
    int count = last - first + 1;
    for (size_t i = LowerBound(first); i < m_rows.size(); ++i)
        m_rows[i] -= count;
}

void TGridFilterModel::SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                         const QList<int>& roles) {
    if (!m_filter) {
        emit dataChanged(index(topLeft.row(), topLeft.column()), index(bottomRight.row(), bottomRight.column()),
                         roles);
        return;
    }
    if (topLeft.row() == bottomRight.row()) {
        RetestRow(topLeft.row());
        return;
    }
    size_t begin = LowerBound(topLeft.row());
    size_t end = LowerBound(bottomRight.row() + 1);
    if (begin < end)
        emit dataChanged(index(static_cast<int>(begin), topLeft.column()),
                         index(static_cast<int>(end) - 1, bottomRight.column()), roles);
}

void TGridFilterModel::RetestRow(int sourceRow) {
    size_t position = LowerBound(sourceRow);
    bool shown = position < m_rows.size() && m_rows[position] == sourceRow;
    bool accepted = m_filter(sourceRow);
    int row = static_cast<int>(position);
    if (shown && accepted) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    } else if (accepted) {
        beginInsertRows({}, row, row);
        m_rows.insert(m_rows.begin() + position, sourceRow);
        endInsertRows();
    } else if (shown) {
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + position);
        endRemoveRows();
    }
}

QModelIndex TGridFilterModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || !sourceModel())
        return {};
    return sourceModel()->index(SourceRow(proxyIndex.row()), proxyIndex.column());
}

QModelIndex TGridFilterModel::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid())
        return {};
    if (!m_filter)
        return index(sourceIndex.row(), sourceIndex.column());
    size_t position = LowerBound(sourceIndex.row());
    if (position >= m_rows.size() || m_rows[position] != sourceIndex.row())
        return {};
    return index(static_cast<int>(position), sourceIndex.column());
}

int TGridFilterModel::NearestShownRow(int sourceRow) const {
    int rows = rowCount();
    if (rows == 0 || sourceRow < 0)
        return rows == 0 ? -1 : 0;
    if (!m_filter)
        return std::min(sourceRow, rows - 1);
    size_t position = LowerBound(sourceRow);
    if (position < m_rows.size() && m_rows[position] == sourceRow)
        return static_cast<int>(position);
    return position > 0 ? static_cast<int>(position) - 1 : 0;
}

int TGridFilterModel::SourceRow(int row) const {
    if (!m_filter)
        return row;
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? m_rows[row] : -1;
}

QModelIndex TGridFilterModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex TGridFilterModel::parent(const QModelIndex&) const {
    return {};
}

int TGridFilterModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !sourceModel())
        return 0;
    return m_filter ? static_cast<int>(m_rows.size()) : sourceModel()->rowCount();
}

int TGridFilterModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QVariant TGridFilterModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!sourceModel())
        return {};
    if (orientation == Qt::Vertical)
        return {};
    return sourceModel()->headerData(section, orientation, role);
}
