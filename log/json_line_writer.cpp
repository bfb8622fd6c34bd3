#include "log/json_line_writer.h"

#include "core/text_codec.h"
#include "log/mem_table.h"

#include <QDateTime>
#include <cstdio>
#include <cstdlib>

namespace {
// The row's digits as they were read, with the local offset of that moment. A reading in the hour that the
// clock skips in spring is no local time (the server's clock, or the difference to it, was not yet turned);
// it keeps its digits with the offset in force before the skip, which names a moment that exists.
std::string IsoTime(TDateTime time) {
    const TDateTimeStamp stamp = DateTimeToTimeStamp(time);
    const QDate date = QDate(1899, 12, 30).addDays(stamp.days);
    const QTime clock = QTime::fromMSecsSinceStartOfDay(stamp.msecOfDay);
    QDateTime local(date, clock);
    if (!local.isValid() || local.time() != clock)
        local = QDateTime(date.addDays(-1), clock);
    const int offset = local.offsetFromUtc();
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                  std::abs(offset) / 60 % 60);
    return QDateTime(date, clock, Qt::UTC).toString("yyyy-MM-ddTHH:mm:ss.zzz").toStdString() + zone;
}
} // namespace

TJsonLineWriter::TJsonLineWriter(std::string target) : m_quotedTarget(Quoted(target)) {}

std::string TJsonLineWriter::RowLine(const TLogRow& row) const {
    const std::string stored = TMemTable::StoredRecord(row).error;
    return "{\"time\": \"" + IsoTime(row.Time) + "\", \"elapsed_ms\": " + std::to_string(row.Value) +
           ", \"error\": " + (stored.empty() ? std::string("null") : Quoted(FromCp1251(stored).toStdString())) +
           ", \"cause\": " + (stored.empty() ? std::string("null") : Quoted(CauseName(row.Cause.value_or(TFailureCause::Client)))) +
           ", \"target\": " + m_quotedTarget + "}\n";
}

std::string TJsonLineWriter::Quoted(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}
