#pragma once

#include "log/record_store.h"

#include <cstdint>
#include <string_view>

// The log's columns in their order, which is also the order of the saved file and of a journal.
enum TLogColumn { lcTime, lcValue, lcError };
inline constexpr int LogColumnCount = 3;

struct TLogColumnInfo {
    std::string_view fieldName; // the saved file's header names the column by it
    uint8_t presence;           // the column's bit in a record's presence flags
};

inline constexpr TLogColumnInfo LogColumns[LogColumnCount] = {
    {"Time", HasTime},
    {"Value", HasValue},
    {"Error", HasError},
};
