#include "app/run_summary.h"

#include "core/date_time.h"
#include "core/exceptions.h"
#include "core/text_codec.h"
#include "log/log_statistics.h"

namespace {
// The server's time of a row, to the millisecond, the same way whatever the locale.
std::string TimeText(int64_t timeMs) {
    const TDateTime time = static_cast<TDateTime>(timeMs) / MSecsPerDay;
    const TDateParts date = DecodeDate(time);
    const auto msOfDay = timeMs % MSecsPerDay;
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d.%03d", date.year, date.month, date.day,
                      static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                      static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
}
} // namespace

std::string RunSummary(const TLogStatistics& s) {
    std::string text = FormatText("Rows: %d\nFailed rows: %d\n", s.Rows(), s.FailedRows());
    text += s.Rows() > 0 ? FormatText("Availability: %.3f %%\n", s.Availability()) : "Availability: -\n";
    if (s.SuccessfulRows() > 0)
        text += FormatText("Elapsed ms: min %d, median %g, p95 %d, max %d\n", s.Min(), s.Median(),
                           s.Percentile(95), s.Max());
    else
        text += "Elapsed ms: -\n";
    text += FormatText("Outages: %zu\n", s.Outages().size());
    for (const TOutage& outage : s.Outages())
        text += "  " + TimeText(outage.startMs) + " to " + TimeText(outage.endMs) +
                FormatText(", %d rows: ", outage.rows) + FromCp1251(outage.firstErrorLine).toStdString() + "\n";
    return text;
}
