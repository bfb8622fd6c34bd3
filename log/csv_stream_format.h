#pragma once

#include "core/component.h"
#include "log/csv_line_writer.h"

#include <QIODevice>
#include <string>

class TMemTable;
struct TRecordView;

// Writes the log as tab-separated text: a header line with the field names, then one line per record; every
// non-null value quoted (quotes inside doubled), lines ending in CR LF. Dates use the fixed "dd/mm/yyyy";
// the time of day follows the user's long time pattern; the error text escapes "%", CR, LF and zero.
class TCsvStreamFormat : public TComponent {
public:
    explicit TCsvStreamFormat(TComponent* owner = nullptr, std::string name = "CsvStreamFormat1");

    char CSVQuote() const { return m_quote; }
    void SetCSVQuote(char quote) { m_quote = quote; }
    char CSVFieldDelimiter() const { return m_fieldDelimiter; }
    // A zero delimiter is refused: the delimiter stays as it was.
    void SetCSVFieldDelimiter(char delimiter);
    // Written before each line end unless zero.
    char CSVRecordDelimiter() const { return m_recordDelimiter; }
    void SetCSVRecordDelimiter(char delimiter) { m_recordDelimiter = delimiter; }

    // Writes every record of the table, in row order, to the stream. The table is locked and its views hear
    // nothing until the end, then one data set change, also when writing fails ("Stream write error").
    void SaveToStream(TMemTable& table, QIODevice& stream) const;
    // The lines of this format one at a time, for output that grows row by row.
    TCsvLineWriter LineWriter() const;

private:
    class TWriter;

    char m_quote = '"';
    char m_fieldDelimiter = '\t';
    char m_recordDelimiter = '\0';
};
