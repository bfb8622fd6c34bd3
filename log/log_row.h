#pragma once

#include "core/date_time.h"

#include <cstdint>
#include <string>

// One measured cycle as it enters the log: the server-side time of its end, the elapsed milliseconds and the
// error text in the code page (empty for a good cycle). The run, its sinks, the table and the line writers
// hand it on whole, so a new column is added here and where it is stored and written.
struct TLogRow {
    TDateTime Time = 0;
    int32_t Value = 0;
    std::string Error;
};
