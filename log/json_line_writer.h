#pragma once

#include "core/date_time.h"
#include "log/log_row.h"

#include <cstdint>
#include <string>
#include <string_view>

// Makes one JSON object a line for each row, in UTF-8 and ending in LF, for a log collector that reads JSON:
// {"time": "2026-12-10T11:03:22.123+01:00", "elapsed_ms": 12, "error": null, "target": "prod"}
// The time is the row's (the server's) in ISO 8601 with the local offset of that moment; the error is the
// row's text as the log would store it, or null for a good row; the target names what was tested.
class TJsonLineWriter {
public:
    // target: UTF-8.
    explicit TJsonLineWriter(std::string target);

    std::string RowLine(const TLogRow& row) const;

    // The text as a JSON string, quotes included (UTF-8 in, UTF-8 out).
    static std::string Quoted(std::string_view utf8);

private:
    std::string m_quotedTarget;
};
