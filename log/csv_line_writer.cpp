#include "log/csv_line_writer.h"

#include "core/date_time.h"
#include "log/log_columns.h"
#include "log/mem_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

TCsvLineWriter::TCsvLineWriter(char quote, char fieldDelimiter, char recordDelimiter)
    : m_quote(quote), m_fieldDelimiter(fieldDelimiter), m_recordDelimiter(recordDelimiter),
      m_quoteInDatesOrNumbers(std::string_view("0123456789/: -").find(quote) != std::string_view::npos ||
                              m_locale.AmDesignator().find(quote) != std::string::npos ||
                              m_locale.PmDesignator().find(quote) != std::string::npos) {}

char* TCsvLineWriter::WriteHeader(char* out) const {
    for (int i = 0; i < LogColumnCount; ++i) {
        if (i > 0)
            *out++ = m_fieldDelimiter;
        out = AppendQuoted(out, LogColumns[i].fieldName);
    }
    return EndLine(out);
}

// A null value leaves its place between the delimiters empty.
char* TCsvLineWriter::WriteRecord(char* out, const TRecordView& record) {
    for (int i = 0; i < LogColumnCount; ++i) {
        if (i > 0)
            *out++ = m_fieldDelimiter;
        if (record.present & LogColumns[i].presence)
            out = AppendField(out, LogColumns[i].column, record);
    }
    return EndLine(out);
}

char* TCsvLineWriter::AppendField(char* out, TLogColumn column, const TRecordView& record) {
    switch (column) {
    case lcTime: return AppendTime(out, record.timeMs);
    case lcValue: return AppendValue(out, record.value);
    case lcError: return AppendError(out, record.error, record.errorRef);
    }
    return out;
}

std::string TCsvLineWriter::HeaderLine() const {
    std::string line(MaxLine, '\0');
    line.resize(static_cast<size_t>(WriteHeader(line.data()) - line.data()));
    return line;
}

std::string TCsvLineWriter::RecordLine(const TRecordView& record) {
    std::string line(MaxLine, '\0');
    line.resize(static_cast<size_t>(WriteRecord(line.data(), record) - line.data()));
    return line;
}

std::string TCsvLineWriter::RowLine(const TLogRow& row) {
    const TRecordData stored = TMemTable::StoredRecord(row);
    return RecordLine({.timeMs = stored.timeMs,
                       .value = stored.value,
                       .error = stored.error,
                       .errorRef = 0,
                       .present = stored.present,
                       .id = 0});
}

char* TCsvLineWriter::EndLine(char* out) const {
    if (m_recordDelimiter != '\0')
        *out++ = m_recordDelimiter;
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

char* TCsvLineWriter::AppendQuoted(char* out, std::string_view text) const {
    *out++ = m_quote;
    for (const char c : text) {
        if (c == m_quote)
            *out++ = m_quote;
        *out++ = c;
    }
    *out++ = m_quote;
    return out;
}

// The fixed date pattern, then the time of day unless it is midnight to the second.
char* TCsvLineWriter::AppendTime(char* out, int64_t timeMs) {
    const int64_t days = timeMs / MSecsPerDay;
    const auto secondOfDay = static_cast<int>(std::llabs(timeMs % MSecsPerDay) / 1000);
    if (days != m_cachedDay || m_cachedDateText.empty()) {
        const TDateParts date = DecodeDate(static_cast<TDateTime>(days));
        char text[16];
        const int length = std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.day, date.month, date.year);
        m_cachedDateText.assign(text, static_cast<size_t>(length));
        m_cachedDay = days;
    }
    // Digits, separators and designators rarely hold the quote: then they go out as they are.
    char* const start = out;
    *out++ = m_quote;
    out = std::copy(m_cachedDateText.begin(), m_cachedDateText.end(), out);
    if (secondOfDay != 0) {
        *out++ = ' ';
        out = m_locale.WriteTimeOfDay(out, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
    }
    if (m_quoteInDatesOrNumbers)
        return RequoteFrom(start, out);
    *out++ = m_quote;
    return out;
}

char* TCsvLineWriter::AppendValue(char* out, int32_t value) const {
    char* const start = out;
    *out++ = m_quote;
    out = std::to_chars(out, out + 16, value).ptr;
    if (m_quoteInDatesOrNumbers)
        return RequoteFrom(start, out);
    *out++ = m_quote;
    return out;
}

// Quotes again, with doubling, the unquoted text written after the opening quote at start.
char* TCsvLineWriter::RequoteFrom(char* start, char* end) const {
    const std::string text(start + 1, end);
    return AppendQuoted(start, text);
}

// The cache is keyed by the pool's reference and checked against the text, so records from different pools
// (a journal's rows have none) never take each other's quoted form.
char* TCsvLineWriter::AppendError(char* out, std::string_view text, uint32_t ref) {
    TCachedError& cached = m_errorCache[ref % ErrorCacheSize];
    if (cached.filled && cached.ref == ref && cached.text == text)
        return std::copy(cached.quoted.begin(), cached.quoted.end(), out);
    m_escaped.clear();
    for (const char c : text) {
        switch (c) {
        case '%': m_escaped += "%%"; break;
        case '\r': m_escaped += "%c"; break;
        case '\n': m_escaped += "%n"; break;
        case '\0': m_escaped += "%0"; break;
        default: m_escaped += c;
        }
    }
    char* const start = out;
    out = AppendQuoted(out, m_escaped);
    cached.quoted.assign(start, out);
    cached.text.assign(text);
    cached.ref = ref;
    cached.filled = true;
    return out;
}
