#include "view/cell_text_reader.h"

#include "core/text_codec.h"
#include "log/log_columns.h"
#include "log/mem_table.h"

#include <charconv>

TCellTextReader::TCellTextReader(const TMemTable& table)
    : m_table(table), m_lock(table.LockRecords()), m_pendingRow(table.PendingRow()) {
}

const QString& TCellTextReader::Text(int row, int fieldIndex) {
    const TRecordStore& records = m_table.Records();
    // The pending row, and the errors for a wrong row or field, come from the table itself.
    if (row == m_pendingRow || row < 0 || row >= records.Count() || fieldIndex < 0 ||
        fieldIndex >= TMemTable::FieldCount) {
        m_text = m_table.RowDisplayString(row, fieldIndex);
        return m_text;
    }
    if (row != m_row) {
        m_record = records.At(row);
        m_row = row;
    }
    const TLogColumn column = LogColumnAt(fieldIndex);
    if (!(m_record.present & LogColumns[column].presence))
        return m_empty;
    switch (column) {
    case lcTime: return TimeText(m_record.timeMs);
    case lcValue: return ValueText(m_record.value);
    case lcError: return ErrorText(m_record.errorRef, m_record.error);
    }
    ThrowFieldIndexOutOfRange(fieldIndex);
}

const QString& TCellTextReader::TimeText(int64_t timeMs) {
    const TDateTime time = static_cast<TDateTime>(timeMs) / MSecsPerDay;
    const TLocaleFormat& format = m_table.DisplayFormat();
    const int64_t day = DateTimeToTimeStamp(time).days;
    if (day != m_day) {
        m_dateText = format.ShortDateString(DecodeDate(time));
        m_day = day;
    }
    m_text.resize(0);
    m_text.append(m_dateText);
    format.AppendTimeAfterDate(m_text, DecodeTime(time));
    return m_text;
}

const QString& TCellTextReader::ValueText(int32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    m_text.resize(0);
    m_text.append(QLatin1StringView(digits, end - digits));
    return m_text;
}

const QString& TCellTextReader::ErrorText(uint32_t ref, std::string_view error) {
    auto found = m_errors.find(ref);
    if (found == m_errors.end())
        found = m_errors.emplace(ref, FromCp1251(error)).first;
    return found->second;
}
