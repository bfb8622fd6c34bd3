#pragma once

#include "view/data_source.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <functional>

class TMemTable;

// The log table as Qt's views see it: one row per record (and the record being inserted), one column per
// field. Texts are formed only when a view asks for a cell, so only visible cells cost anything; records
// appended at the end arrive as inserted rows, so following a long log stays cheap.
class TLogTableModel : public QAbstractTableModel, private TDataLink {
public:
    explicit TLogTableModel(TDataSource& dataSource, QObject* parent = nullptr);
    ~TLogTableModel() override;

    TMemTable* Table() const;
    // Null once the data source is gone.
    TDataSource* DataSource() const { return m_dataSource; }

    // After every notification, once the rows match the table again.
    std::function<void()> OnCursorChanged;
    std::function<void()> OnStateChanged;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void DataSetChanged() override;
    void FieldChanged(const TField& field) override;
    void StateChanged() override;
    void DataSourceDestroyed() override;
    // Brings the row count in line with the table: rows added or dropped at the end when nothing stored was
    // rewritten, a reset otherwise.
    void SyncRows();

    TDataSource* m_dataSource;
    TMemTable* m_table = nullptr;
    int m_rows = 0;
    uint64_t m_rewrites = 0;
};
