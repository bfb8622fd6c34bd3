#pragma once

#include "log/data_set_listener.h"

#include <QAbstractTableModel>

class TMemTable;

// A read-only item model over the log table (until the log grid takes its place), one row per record and one
// column per field, as the table displays them. It follows the table's notifications.
class TPlainLogModel : public QAbstractTableModel, private TDataSetListener {
public:
    explicit TPlainLogModel(TMemTable& table, QObject* parent = nullptr);
    ~TPlainLogModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void DataSetChanged() override;
    void FieldChanged(const TField& field) override;
    void StateChanged() override;

    TMemTable& m_table;
};
