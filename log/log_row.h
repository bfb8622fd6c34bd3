#pragma once

#include "core/date_time.h"
#include "core/failure_cause.h"

#include <cstdint>
#include <optional>
#include <string>

// One measured cycle as it enters the log: the server-side time of its end, the elapsed milliseconds and the
// error text in the code page (empty for a good cycle). The run, its sinks, the table and the line writers
// hand it on whole, so a new column is added here and where it is stored and written. The columns have no
// default initialisers, so a row built without one of them does not compile.
struct TLogRow {
    TDateTime Time;
    int32_t Value;
    std::string Error;
    // A failed cycle's cause, as the run understood it; no column of the log (a saved or journalled row
    // keeps only its text), only the live sinks and the jsonl rows see it.
    std::optional<TFailureCause> Cause = std::nullopt;
};
