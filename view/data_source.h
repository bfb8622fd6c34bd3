#pragma once

#include "core/component.h"
#include "log/data_set_listener.h"

#include <vector>

class TMemTable;

// A view bound to a data source: it hears the table through the source, and hears when the source goes.
class TDataLink : public TDataSetListener {
public:
    virtual void DataSourceDestroyed() = 0;
};

// Binds a table to the views that show it (ds1 links MT to the grid): the views hear the table's
// notifications through it, and hear a data set change when it is given another table. The table must outlive
// the binding (SetDataSet(nullptr) first), as it does not announce its end.
class TDataSource : public TComponent, private TDataSetListener {
public:
    explicit TDataSource(TComponent* owner = nullptr, std::string name = "ds1");
    ~TDataSource() override;

    TMemTable* DataSet() const { return m_dataSet; }
    void SetDataSet(TMemTable* dataSet);

    void AddLink(TDataLink* link);
    void RemoveLink(TDataLink* link);

private:
    void DataSetChanged() override;
    void FieldChanged(const TField& field) override;
    void StateChanged() override;

    TMemTable* m_dataSet = nullptr;
    std::vector<TDataLink*> m_links;
};
