#include "log/csv_stream_format.h"

#include "core/exceptions.h"
#include "log/locale_format.h"
#include "log/mem_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

// The work of one save: formats lines straight into a large buffer and hands it to the stream in pieces.
class TCsvStreamFormat::TWriter {
public:
    TWriter(const TCsvStreamFormat& format, QIODevice& stream)
        : m_format(format), m_stream(stream), m_buffer(FlushSize + MaxLine, '\0'),
          m_quoteInDatesOrNumbers(std::string_view("0123456789/: -").find(format.m_quote) != std::string_view::npos ||
                         m_locale.AmDesignator().find(format.m_quote) != std::string::npos ||
                         m_locale.PmDesignator().find(format.m_quote) != std::string::npos) {}

    void WriteHeader(const TMemTable& table) {
        for (int i = 0; i < TMemTable::FieldCount; ++i) {
            if (i > 0)
                *m_end++ = m_format.m_fieldDelimiter;
            AppendQuoted(table.Fields(i).DisplayName());
        }
        EndLine();
    }

    void WriteRecord(const TRecordView& record) {
        if (record.present & HasTime)
            AppendTime(record.timeMs);
        *m_end++ = m_format.m_fieldDelimiter;
        if (record.present & HasValue)
            AppendValue(record.value);
        *m_end++ = m_format.m_fieldDelimiter;
        if (record.present & HasError)
            AppendError(record.error, record.errorRef);
        EndLine();
    }

    void Flush() {
        const qint64 size = m_end - m_buffer.data();
        if (size > 0 && m_stream.write(m_buffer.data(), size) != size)
            throw Exception("Stream write error");
        m_end = m_buffer.data();
    }

private:
    static constexpr size_t FlushSize = 1 << 20;
    // Room for the longest line: a fully escaped 300-character error, the date, the time and designators.
    static constexpr size_t MaxLine = 4096;

    void EndLine() {
        if (m_format.m_recordDelimiter != '\0')
            *m_end++ = m_format.m_recordDelimiter;
        *m_end++ = '\r';
        *m_end++ = '\n';
        if (static_cast<size_t>(m_end - m_buffer.data()) >= FlushSize)
            Flush();
    }

    void AppendQuoted(std::string_view text) {
        const char quote = m_format.m_quote;
        *m_end++ = quote;
        for (const char c : text) {
            if (c == quote)
                *m_end++ = quote;
            *m_end++ = c;
        }
        *m_end++ = quote;
    }

    // The fixed date pattern, then the time of day unless it is midnight to the second.
    void AppendTime(int64_t timeMs) {
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
        char* const start = m_end;
        *m_end++ = m_format.m_quote;
        m_end = std::copy(m_cachedDateText.begin(), m_cachedDateText.end(), m_end);
        if (secondOfDay != 0) {
            *m_end++ = ' ';
            m_end = m_locale.WriteTimeOfDay(m_end, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
        }
        if (m_quoteInDatesOrNumbers)
            RequoteFrom(start);
        else
            *m_end++ = m_format.m_quote;
    }

    void AppendValue(int32_t value) {
        char* const start = m_end;
        *m_end++ = m_format.m_quote;
        m_end = std::to_chars(m_end, m_end + 16, value).ptr;
        if (m_quoteInDatesOrNumbers)
            RequoteFrom(start);
        else
            *m_end++ = m_format.m_quote;
    }

    // Quotes again, with doubling, the unquoted text written after the opening quote at start.
    void RequoteFrom(char* start) {
        const std::string text(start + 1, m_end);
        m_end = start;
        AppendQuoted(text);
    }

    // An outage repeats a few texts for many rows, so the quoted form is kept per pooled text in a small cache;
    // the pool does not change while the save holds the table's lock.
    void AppendError(std::string_view text, uint32_t ref) {
        TCachedError& cached = m_errorCache[ref % ErrorCacheSize];
        if (cached.filled && cached.ref == ref) {
            m_end = std::copy(cached.quoted.begin(), cached.quoted.end(), m_end);
            return;
        }
        m_text.clear();
        for (const char c : text) {
            switch (c) {
            case '%': m_text += "%%"; break;
            case '\r': m_text += "%c"; break;
            case '\n': m_text += "%n"; break;
            case '\0': m_text += "%0"; break;
            default: m_text += c;
            }
        }
        char* const start = m_end;
        AppendQuoted(m_text);
        cached.quoted.assign(start, m_end);
        cached.ref = ref;
        cached.filled = true;
    }

    struct TCachedError {
        bool filled = false;
        uint32_t ref = 0;
        std::string quoted;
    };
    static constexpr size_t ErrorCacheSize = 64;

    const TCsvStreamFormat& m_format;
    QIODevice& m_stream;
    const TLocaleFormat m_locale; // the user's settings at the time of the save
    std::string m_buffer;
    bool m_quoteInDatesOrNumbers;
    char* m_end = m_buffer.data();
    std::string m_text;
    int64_t m_cachedDay = 0;
    std::string m_cachedDateText;
    TCachedError m_errorCache[ErrorCacheSize];
};

TCsvStreamFormat::TCsvStreamFormat(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

void TCsvStreamFormat::SetCSVFieldDelimiter(char delimiter) {
    if (delimiter != '\0')
        m_fieldDelimiter = delimiter;
}

void TCsvStreamFormat::SaveToStream(TMemTable& table, QIODevice& stream) const {
    // Prepare: nothing else touches the table, and its views wait, until finish.
    const auto lock = table.LockRecords();
    table.SuspendNotifications();
    try {
        if (!stream.isSequential())
            stream.seek(0);
        TWriter writer(*this, stream);
        writer.WriteHeader(table);
        const bool filtered = table.Filtered() && table.OnFilterRecord;
        table.Records().ForEach(0, [&](const TRecordView& record) {
            bool accept = true;
            if (filtered)
                table.OnFilterRecord(table, record, accept);
            if (accept)
                writer.WriteRecord(record);
        });
        writer.Flush();
    } catch (...) {
        table.ResumeNotifications();
        throw;
    }
    table.ResumeNotifications();
}
