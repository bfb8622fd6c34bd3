#pragma once

#include "log/mem_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A time when the run did not answer. It begins at the end of the last good cycle before the first failed one
// (at the run's start when the first cycle fails) and ends at the end of the first good cycle after it; while
// it lasts, its end is the time it was asked at.
struct TOutage {
    TBookmark first; // the outage's first failed row; none for a call that hangs still
    int64_t startMs = 0;
    int64_t endMs = 0;
    int rows = 0; // failed rows
    // The first failed row's reason (its error without the sender line), or what the hung call waits for.
    std::string reasonLine;
    bool ongoing = false;
};

// The one definition of an outage, for the summary, the statistics window and the metrics. Fed with the run's
// start, each row's time and outcome and, where known, the beginning of each cycle; asked at a time ("now",
// or the run's end), it answers the outages, their time and the availability by time. A cycle that has waited
// longer than one period for its row is an outage already, from the end of the last good cycle. Times are
// milliseconds of TDateTime, as the log stores them; the owner guards it against other threads.
class TOutageTimeline {
public:
    // 0: cycles are not told, and a call that hangs is seen only by its row.
    explicit TOutageTimeline(int64_t periodMs = 0) : m_periodMs(periodMs) {}

    void Begin(int64_t startMs);
    void CycleBegun(int64_t atMs);
    void Row(int64_t atMs, std::string_view error, TBookmark id = {});
    // The run ended: later questions are answered at this time, whatever time they name.
    void End(int64_t atMs);

    bool Begun() const { return m_begun; }
    int64_t StartMs() const { return m_startMs; }
    // Every outage up to the time asked, from the first-th on; the last one may be ongoing.
    std::vector<TOutage> Outages(int64_t nowMs, size_t first = 0) const;
    size_t OutageCount(int64_t nowMs) const;
    // The outage under way at that time, a hung call's included.
    std::optional<TOutage> Current(int64_t nowMs) const;
    int64_t OutageMs(int64_t nowMs) const;
    int64_t RunMs(int64_t nowMs) const;
    // 1 - outage time / run time; for a run of no length, 0 in an outage and else 1.
    double Availability(int64_t nowMs) const;
    // How long the cycle in flight has waited, once that is longer than one period.
    std::optional<int64_t> HangMs(int64_t nowMs) const;

private:
    int64_t Clamped(int64_t nowMs) const;
    void Open(int64_t startMs);

    int64_t m_periodMs;
    bool m_begun = false;
    int64_t m_startMs = 0;
    std::optional<int64_t> m_endMs;
    int64_t m_lastGoodEndMs = 0; // the run's start until a good cycle ends
    std::optional<int64_t> m_cycleBegunMs;
    std::vector<TOutage> m_closed;
    std::optional<TOutage> m_open; // opened by a failed row
    int64_t m_closedMs = 0;
};

// The error's reason: its first line, or the line after it when the first names only the sender
// ("Form1.qry1:"), without the sender that heads a one-line message ("Form1.FDB: Cannot perform operation
// ...").
std::string ReasonLine(std::string_view error);
