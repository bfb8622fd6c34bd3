#include "app/plain_log_model.h"

#include "core/text_codec.h"
#include "log/mem_table.h"

TPlainLogModel::TPlainLogModel(TMemTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table) {
    m_table.AddListener(this);
}

TPlainLogModel::~TPlainLogModel() {
    m_table.RemoveListener(this);
}

int TPlainLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_table.RowCount();
}

int TPlainLogModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : TMemTable::FieldCount;
}

QVariant TPlainLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return FromCp1251(m_table.RowDisplayText(index.row(), index.column()));
}

QVariant TPlainLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= TMemTable::FieldCount)
        return {};
    return FromCp1251(m_table.Fields(section).DisplayName());
}

// Any change may add, remove or rewrite rows; the simple view reads everything again.
void TPlainLogModel::DataSetChanged() {
    beginResetModel();
    endResetModel();
}

void TPlainLogModel::FieldChanged(const TField&) {
    DataSetChanged();
}

void TPlainLogModel::StateChanged() {
    DataSetChanged();
}
