#pragma once

#include "log/record_store.h"

#include <QString>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

class TMemTable;

// The texts the grid shows in the log's cells, for walks over many rows (the find dialog): the same texts as
// the table's RowDisplayString, but each day's date and each distinct error is converted once instead of once
// per cell, and a row is read once for all its cells. Holds the table's lock for its life, so no row changes
// under it.
class TCellTextReader {
public:
    explicit TCellTextReader(const TMemTable& table);

    // Valid until the next call.
    const QString& Text(int row, int fieldIndex);

private:
    const QString& TimeText(int64_t timeMs);
    const QString& ValueText(int32_t value);
    const QString& ErrorText(uint32_t ref, std::string_view error);

    const TMemTable& m_table;
    std::unique_lock<std::recursive_mutex> m_lock;
    const int m_pendingRow;
    int m_row = -1;
    TRecordView m_record{};
    QString m_text;
    const QString m_empty;
    int64_t m_day = INT64_MIN;
    QString m_dateText;
    std::unordered_map<uint32_t, QString> m_errors;
};
