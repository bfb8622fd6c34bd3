#pragma once

#include "core/date_time.h"
#include "log/locale_format.h"
#include "log/log_columns.h"
#include "log/log_row.h"
#include "log/record_store.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Makes the lines of the tab-separated log one at a time: the header with the column names, then one line
// per record, every non-null value quoted (quotes inside doubled), each line ending in CR LF. Dates use the
// fixed "dd/mm/yyyy"; the time of day follows the user's long time pattern as it stood when the writer was
// made; the error text escapes "%", CR, LF and zero. A save, a journal and the headless run's output all
// write their lines with it, so the three are the same bytes.
class TCsvLineWriter {
public:
    TCsvLineWriter(char quote, char fieldDelimiter, char recordDelimiter);

    // Room a caller gives each Write: the longest line, a fully escaped error with the date and the time.
    static constexpr size_t MaxLine = 4096;

    // Each writes one whole line at out and returns the end of what it wrote.
    char* WriteHeader(char* out) const;
    char* WriteRecord(char* out, const TRecordView& record);

    // The same into a string, for a caller that writes a line at a time.
    std::string HeaderLine() const;
    std::string RecordLine(const TRecordView& record);
    // The line of the row as the log would store it (its text cut as the table cuts it).
    std::string RowLine(const TLogRow& row);

private:
    char* EndLine(char* out) const;
    char* AppendField(char* out, TLogColumn column, const TRecordView& record);
    char* AppendQuoted(char* out, std::string_view text) const;
    char* AppendTime(char* out, int64_t timeMs);
    char* AppendValue(char* out, int32_t value) const;
    char* RequoteFrom(char* start, char* end) const;
    char* AppendError(char* out, std::string_view text, uint32_t ref);

    // An outage repeats a few texts for many rows, so the quoted form is kept per text in a small cache.
    struct TCachedError {
        bool filled = false;
        uint32_t ref = 0;
        std::string text;
        std::string quoted;
    };
    static constexpr size_t ErrorCacheSize = 64;

    char m_quote;
    char m_fieldDelimiter;
    char m_recordDelimiter;
    const TLocaleFormat m_locale;
    bool m_quoteInDatesOrNumbers;
    std::string m_escaped;
    int64_t m_cachedDay = 0;
    std::string m_cachedDateText;
    TCachedError m_errorCache[ErrorCacheSize];
};
