#include "log/csv_stream_format.h"

#include "core/exceptions.h"
#include "log/locale_format.h"
#include "log/mem_table.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>

// The work of one save: formats lines into a buffer and hands the buffer to the stream in large pieces.
class TCsvStreamFormat::TWriter {
public:
    TWriter(const TCsvStreamFormat& format, QIODevice& stream) : m_format(format), m_stream(stream) {
        m_buffer.reserve(FlushSize + 1024);
    }

    void WriteHeader(const TMemTable& table) {
        for (int i = 0; i < TMemTable::FieldCount; ++i) {
            if (i > 0)
                m_buffer += m_format.m_fieldDelimiter;
            AppendQuoted(table.Fields(i).DisplayName());
        }
        EndLine();
    }

    void WriteRecord(const TRecordView& record) {
        if (record.present & HasTime)
            AppendTime(record.timeMs);
        m_buffer += m_format.m_fieldDelimiter;
        if (record.present & HasValue)
            AppendValue(record.value);
        m_buffer += m_format.m_fieldDelimiter;
        if (record.present & HasError)
            AppendError(record.error);
        EndLine();
    }

    void Flush() {
        if (m_buffer.empty())
            return;
        const auto size = static_cast<qint64>(m_buffer.size());
        if (m_stream.write(m_buffer.data(), size) != size)
            throw Exception("Stream write error");
        m_buffer.clear();
    }

private:
    static constexpr size_t FlushSize = 1 << 16;

    void EndLine() {
        if (m_format.m_recordDelimiter != '\0')
            m_buffer += m_format.m_recordDelimiter;
        m_buffer += "\r\n";
        if (m_buffer.size() >= FlushSize)
            Flush();
    }

    void AppendQuoted(std::string_view text) {
        const char quote = m_format.m_quote;
        m_buffer += quote;
        for (const char c : text) {
            if (c == quote)
                m_buffer += quote;
            m_buffer += c;
        }
        m_buffer += quote;
    }

    // The fixed date pattern, then the time of day unless it is midnight to the second.
    void AppendTime(int64_t timeMs) {
        const int64_t days = timeMs / MSecsPerDay;
        const auto secondOfDay = static_cast<int>(std::llabs(timeMs % MSecsPerDay) / 1000);
        if (days != m_cachedDay || m_cachedDateText.empty()) {
            const TDateParts date = DecodeDate(static_cast<TDateTime>(days));
            m_cachedDateText.resize(10);
            std::snprintf(m_cachedDateText.data(), 11, "%02d/%02d/%04d", date.day, date.month, date.year);
            m_cachedDay = days;
        }
        m_text = m_cachedDateText;
        if (secondOfDay != 0) {
            m_text += ' ';
            m_locale.AppendTimeOfDay(m_text, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
        }
        AppendQuoted(m_text);
    }

    void AppendValue(int32_t value) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        AppendQuoted(std::string_view(digits, static_cast<size_t>(end - digits)));
    }

    // An outage repeats one text for many rows, and pooled texts stay in place for the whole save.
    void AppendError(std::string_view text) {
        if (text.data() != m_cachedErrorSource.data() || text.size() != m_cachedErrorSource.size()) {
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
            std::swap(m_buffer, m_cachedErrorText);
            m_buffer.clear();
            AppendQuoted(m_text);
            std::swap(m_buffer, m_cachedErrorText);
            m_cachedErrorSource = text;
        }
        m_buffer += m_cachedErrorText;
    }

    const TCsvStreamFormat& m_format;
    QIODevice& m_stream;
    const TLocaleFormat m_locale; // the user's settings at the time of the save
    std::string m_buffer;
    std::string m_text;
    int64_t m_cachedDay = 0;
    std::string m_cachedDateText;
    std::string_view m_cachedErrorSource;
    std::string m_cachedErrorText;
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
