#include "view/data_source.h"

#include "log/mem_table.h"

#include <algorithm>

TDataSource::TDataSource(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

TDataSource::~TDataSource() {
    if (m_dataSet)
        m_dataSet->RemoveListener(this);
    for (TDataLink* link : std::vector(m_links))
        link->DataSourceDestroyed();
}

void TDataSource::SetDataSet(TMemTable* dataSet) {
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveListener(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AddListener(this);
    DataSetChanged();
}

void TDataSource::AddLink(TDataLink* link) {
    if (std::find(m_links.begin(), m_links.end(), link) == m_links.end())
        m_links.push_back(link);
}

void TDataSource::RemoveLink(TDataLink* link) {
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
}

void TDataSource::DataSetChanged() {
    for (TDataLink* link : std::vector(m_links))
        link->DataSetChanged();
}

void TDataSource::FieldChanged(const TField& field) {
    for (TDataLink* link : std::vector(m_links))
        link->FieldChanged(field);
}

void TDataSource::StateChanged() {
    for (TDataLink* link : std::vector(m_links))
        link->StateChanged();
}
