#pragma once

#include "log/field.h"
#include "log/record_store.h"

#include <cstdint>
#include <iterator>
#include <string_view>

// The log's columns in their order, which is also the order of the saved file and of a journal. A new column
// gets its enumerator, its row in LogColumns, its member in TLogRow, TRecordData and TRecordView and its array
// in TRecordStore's blocks (StoreInto); the build then fails at every other place that must learn it: each
// switch over TLogColumn and each row or record built without the column (the compiler's switch and
// missing-initialiser warnings are errors for our code).
enum TLogColumn { lcTime, lcValue, lcError };

struct TLogColumnInfo {
    TLogColumn column;
    std::string_view componentName; // the table's field object
    std::string_view fieldName;     // the saved file's header names the column by it
    TFieldType type;
    int size;         // characters a text keeps; 0 for the other types
    int displayWidth; // characters a view gives the column by default
    uint8_t presence; // the column's bit in a record's presence flags
};

inline constexpr TLogColumnInfo LogColumns[] = {
    {lcTime, "MTTime", "Time", ftDateTime, 0, 18, HasTime},
    {lcValue, "MTValue", "Value", ftInteger, 0, 10, HasValue},
    {lcError, "MTError", "Error", ftString, 300, 300, HasError},
};
inline constexpr int LogColumnCount = static_cast<int>(std::size(LogColumns));

constexpr bool EveryLogColumnAtItsPlace() {
    for (int i = 0; i < LogColumnCount; ++i)
        if (LogColumns[i].column != i || LogColumns[i].presence != 1u << i)
            return false;
    return true;
}
static_assert(EveryLogColumnAtItsPlace(),
              "LogColumns lists the columns in the order of their enumerators, each with its own presence bit");

// The presence flags of a record that has every column.
inline constexpr uint8_t EveryLogColumnPresent = (1u << LogColumnCount) - 1;

[[noreturn]] void ThrowFieldIndexOutOfRange(int fieldIndex);

// The column at a field index; any other index is out of range. In the header: readers of many cells call it
// once per cell.
inline TLogColumn LogColumnAt(int fieldIndex) {
    if (fieldIndex < 0 || fieldIndex >= LogColumnCount)
        ThrowFieldIndexOutOfRange(fieldIndex);
    return static_cast<TLogColumn>(fieldIndex);
}
