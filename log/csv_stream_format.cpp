#include "log/csv_stream_format.h"

#include "core/exceptions.h"
#include "log/mem_table.h"

// The work of one save: lines go straight into a large buffer, which goes to the stream in pieces.
class TCsvStreamFormat::TWriter {
public:
    TWriter(const TCsvStreamFormat& format, QIODevice& stream)
        : m_lines(format.LineWriter()), m_stream(stream), m_buffer(FlushSize + TCsvLineWriter::MaxLine, '\0') {}

    void WriteHeader() { Ended(m_lines.WriteHeader(m_end)); }
    void WriteRecord(const TRecordView& record) { Ended(m_lines.WriteRecord(m_end, record)); }

    void Flush() {
        const qint64 size = m_end - m_buffer.data();
        if (size > 0 && m_stream.write(m_buffer.data(), size) != size)
            throw Exception("Stream write error");
        m_end = m_buffer.data();
    }

private:
    static constexpr size_t FlushSize = 1 << 20;

    void Ended(char* lineEnd) {
        m_end = lineEnd;
        if (static_cast<size_t>(m_end - m_buffer.data()) >= FlushSize)
            Flush();
    }

    TCsvLineWriter m_lines; // the user's settings at the time of the save
    QIODevice& m_stream;
    std::string m_buffer;
    char* m_end = m_buffer.data();
};

TCsvStreamFormat::TCsvStreamFormat(TComponent* owner, std::string name) : TComponent(owner, std::move(name)) {}

void TCsvStreamFormat::SetCSVFieldDelimiter(char delimiter) {
    if (delimiter != '\0')
        m_fieldDelimiter = delimiter;
}

TCsvLineWriter TCsvStreamFormat::LineWriter() const {
    return TCsvLineWriter(m_quote, m_fieldDelimiter, m_recordDelimiter);
}

void TCsvStreamFormat::SaveToStream(TMemTable& table, QIODevice& stream) const {
    // Prepare: nothing else touches the table, and its views wait, until finish.
    const auto lock = table.LockRecords();
    table.SuspendNotifications();
    try {
        if (!stream.isSequential())
            stream.seek(0);
        TWriter writer(*this, stream);
        writer.WriteHeader();
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
