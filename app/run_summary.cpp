#include "app/run_summary.h"

#include "core/date_time.h"
#include "core/exceptions.h"
#include "log/log_statistics.h"
#include "log/outage_timeline.h"

namespace {
std::string Seconds(int64_t ms) {
    return FormatText("%.3f s", static_cast<double>(ms) / 1000);
}
} // namespace

std::string TimeText(int64_t timeMs) {
    const TDateTime time = static_cast<TDateTime>(timeMs) / MSecsPerDay;
    const TDateParts date = DecodeDate(time);
    const auto msOfDay = timeMs % MSecsPerDay;
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d.%03d", date.year, date.month, date.day,
                      static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                      static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
}

std::string RunSummary(const TLogStatistics& s, const TOutageTimeline& timeline, int64_t endMs) {
    std::string text = FormatText("Rows: %d\nFailed rows: %d\n", s.Rows(), s.FailedRows());
    if (timeline.Begun())
        text += FormatText("Availability: %.3f %% of the run's time (outages ",
                           100 * timeline.Availability(endMs)) +
                Seconds(timeline.OutageMs(endMs)) + " of " + Seconds(timeline.RunMs(endMs)) + ")\n";
    else
        text += "Availability: -\n";
    if (s.SuccessfulRows() > 0)
        text += FormatText("Elapsed ms: min %d, median %g, p95 %d, max %d\n", s.Min(), s.Median(),
                           s.Percentile(95), s.Max());
    else
        text += "Elapsed ms: -\n";
    const std::vector<TOutage> outages = timeline.Outages(endMs);
    text += FormatText("Outages: %zu\n", outages.size());
    for (const TOutage& outage : outages)
        text += "  " + TimeText(outage.startMs) + " to " + TimeText(outage.endMs) + " (" +
                Seconds(outage.endMs - outage.startMs) + FormatText(", %d failed rows): ", outage.rows) +
                FailureText(outage.failure) + "\n";
    return text;
}
