#pragma once

#include "log/data_set_listener.h"
#include "log/mem_table.h"

#include <string>

// Appends one record the way the test cycle does: all three fields assigned, then posted.
inline void AppendRecord(TMemTable& table, TDateTime time, int32_t value, const std::string& error) {
    table.AppendRecord({time, value, error, std::nullopt});
}

// Counts what a view of the table hears, in order ("S" state, "D" data set, "F" field).
class TRecordingListener : public TDataSetListener {
public:
    explicit TRecordingListener(TMemTable& table) : m_table(table) { table.AddListener(this); }
    ~TRecordingListener() override { m_table.RemoveListener(this); }

    void DataSetChanged() override { heard += 'D'; }
    void FieldChanged(const TField&) override { heard += 'F'; }
    void StateChanged() override { heard += 'S'; }

    std::string heard;

private:
    TMemTable& m_table;
};
