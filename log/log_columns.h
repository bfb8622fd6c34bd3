#pragma once

#include "log/field.h"
#include "log/record_store.h"

#include <cstdint>
#include <iterator>
#include <string_view>

// The log's columns in their order, which is also the order of the saved file and of a journal. A new column
// gets its enumerator and its row in LogColumns; every switch over TLogColumn then names a place that must
// learn it.
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
        if (LogColumns[i].column != i)
            return false;
    return true;
}
static_assert(EveryLogColumnAtItsPlace(), "LogColumns lists the columns in the order of their enumerators");

[[noreturn]] void ThrowFieldIndexOutOfRange(int fieldIndex);

// The column at a field index; any other index is out of range. In the header: readers of many cells call it
// once per cell.
inline TLogColumn LogColumnAt(int fieldIndex) {
    if (fieldIndex < 0 || fieldIndex >= LogColumnCount)
        ThrowFieldIndexOutOfRange(fieldIndex);
    return static_cast<TLogColumn>(fieldIndex);
}
