#include "view/log_table_model.h"

#include "core/text_codec.h"
#include "log/mem_table.h"
#include "view/data_source.h"

TLogTableModel::TLogTableModel(TDataSource& dataSource, QObject* parent)
    : QAbstractTableModel(parent), m_dataSource(&dataSource) {
    m_dataSource->AddLink(this);
    SyncRows();
}

TLogTableModel::~TLogTableModel() {
    if (m_dataSource)
        m_dataSource->RemoveLink(this);
}

void TLogTableModel::DataSourceDestroyed() {
    m_dataSource = nullptr;
    SyncRows();
}

TMemTable* TLogTableModel::Table() const {
    return m_table;
}

int TLogTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int TLogTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_table ? 0 : TMemTable::FieldCount;
}

QVariant TLogTableModel::data(const QModelIndex& index, int role) const {
    if (!m_table || !index.isValid() || index.row() >= m_table->RowCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_table->RowDisplayString(index.row(), index.column());
    // The Error column is far narrower than its texts ("Form1.FDB: C"); the cell's tip shows the whole one.
    if (role == Qt::ToolTipRole && index.column() == lcError) {
        QString text = m_table->RowDisplayString(index.row(), index.column()).replace("\r\n", "\n");
        while (text.endsWith('\n'))
            text.chop(1);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    if (role == Qt::TextAlignmentRole) {
        bool number = m_table->Fields(index.column()).DataType() == ftInteger;
        return QVariant::fromValue((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    return {};
}

QVariant TLogTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_table || orientation != Qt::Horizontal || section < 0 || section >= TMemTable::FieldCount)
        return {};
    if (role == Qt::DisplayRole)
        return FromCp1251(m_table->Fields(section).DisplayName());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TLogTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void TLogTableModel::SyncRows() {
    TMemTable* table = m_dataSource ? m_dataSource->DataSet() : nullptr;
    int rows = table ? table->RowCount() : 0;
    uint64_t rewrites = table ? table->RewriteCount() : 0;
    if (table != m_table || rewrites != m_rewrites) {
        if (table != m_table || rows != m_rows) {
            beginResetModel();
            m_table = table;
            m_rows = rows;
            m_rewrites = rewrites;
            endResetModel();
            return;
        }
        m_rewrites = rewrites; // changed in place: the rows are re-read below
    }
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    if (m_rows > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1), {Qt::DisplayRole});
}

void TLogTableModel::DataSetChanged() {
    SyncRows();
    if (OnCursorChanged)
        OnCursorChanged();
}

void TLogTableModel::FieldChanged(const TField& field) {
    int row = m_table ? m_table->CurrentRow() : -1;
    if (row >= 0 && row < m_rows) {
        QModelIndex cell = index(row, field.Index());
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }
}

void TLogTableModel::StateChanged() {
    SyncRows();
    if (OnStateChanged)
        OnStateChanged();
}
