#pragma once

#include "core/component.h"
#include "log/data_set_listener.h"

#include <vector>

class TMemTable;

// Binds a table to the views that show it (ds1 links MT to the grid): the views hear the table's
// notifications through it, and hear a data set change when it is given another table.
class TDataSource : public TComponent, private TDataSetListener {
public:
    explicit TDataSource(TComponent* owner = nullptr, std::string name = "ds1");
    ~TDataSource() override;

    TMemTable* DataSet() const { return m_dataSet; }
    void SetDataSet(TMemTable* dataSet);

    void AddLink(TDataSetListener* link);
    void RemoveLink(TDataSetListener* link);

private:
    void DataSetChanged() override;
    void FieldChanged(const TField& field) override;
    void StateChanged() override;

    TMemTable* m_dataSet = nullptr;
    std::vector<TDataSetListener*> m_links;
};
