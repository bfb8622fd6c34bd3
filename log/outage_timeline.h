#pragma once

#include "core/failure_cause.h"
#include "log/mem_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A time when the run did not answer. It begins at the end of the last good cycle before the first failed one
// (at the run's start when the first cycle fails) and ends at the end of the first good cycle after it; while
// it lasts, its end is the time it was asked at.
struct TOutage {
    int64_t startMs = 0;
    int64_t endMs = 0;
    int rows = 0; // failed rows
    // Its first failure's cause and reason, or a hung call's.
    TFailure failure;
    int failedReattaches = 0;
    TFailure lastReattach; // the last failed re-attach's, when there was one
    bool ongoing = false;
};

// The one definition of an outage, for every view: the state line, the statistics window, the headless lines
// and summary, the service's status and the metrics. Fed with the run's start, the beginning and end of each
// client call, each row with its failure, the failed re-attaches and the run's end; asked at a time ("now",
// or the run's end), it answers the outages, their time and the availability by time. One call that has
// waited longer than one period is an outage already (a long cycle of answered calls is none), from the end of
// the last good cycle. Times are milliseconds of TDateTime on the run's clock, as the log stores them; the
// owner guards it against other threads.
class TOutageTimeline {
public:
    // What a row or the run's end changed: an outage was found to have begun (a hang is found late, by its
    // row) and, or, one ended.
    struct TChange {
        std::optional<TOutage> begun;
        std::optional<TOutage> ended;
    };

    // 0: calls are not told, and a call that hangs is seen only by its row.
    explicit TOutageTimeline(int64_t periodMs = 0) : m_periodMs(periodMs) {}

    void Begin(int64_t startMs);
    void CallBegun(int64_t atMs);
    void CallEnded(int64_t atMs);
    TChange Row(int64_t atMs, const std::optional<TFailure>& failure);
    void ReattachFailed(const TFailure& failure);
    // The run ended: later questions are answered at this time, whatever time they name. An outage under
    // way, a hung call's included, is counted to here.
    TChange End(int64_t atMs);

    bool Begun() const { return m_begun; }
    int64_t StartMs() const { return m_startMs; }
    // Every outage up to the time asked, from the first-th (0-based) on; the last one may be ongoing.
    std::vector<TOutage> Outages(int64_t nowMs, size_t first = 0) const;
    size_t OutageCount(int64_t nowMs) const;
    // The outage under way at that time, a hung call's included.
    std::optional<TOutage> Current(int64_t nowMs) const;
    int64_t OutageMs(int64_t nowMs) const;
    int64_t RunMs(int64_t nowMs) const;
    // 1 - outage time / run time; for a run of no length, 0 in an outage and else 1.
    double Availability(int64_t nowMs) const;

private:
    int64_t Clamped(int64_t nowMs) const;
    // How long the call in flight has waited at that time, once that is longer than one period; a call that
    // ended so late counts until its cycle's row.
    std::optional<int64_t> HangMs(int64_t nowMs) const;
    TOutage HangOutage(int64_t waitedMs) const;
    std::optional<TOutage> Close(int64_t atMs);

    int64_t m_periodMs;
    bool m_begun = false;
    int64_t m_startMs = 0;
    std::optional<int64_t> m_endMs;
    int64_t m_lastGoodEndMs = 0; // the run's start until a good cycle ends
    std::optional<int64_t> m_callBegunMs;
    std::optional<int64_t> m_longestCallMs; // of the cycle in flight, once longer than a period
    std::vector<TOutage> m_closed;
    std::optional<TOutage> m_open; // opened by a failed row
    int64_t m_closedMs = 0;
};

// The run's outages as a view asks for them: those up to now, and the run's time they lie in.
struct TOutageReport {
    std::vector<TOutage> outages;
    int64_t runStartMs = 0;
    int64_t nowMs = 0;
};

// The share of [fromMs, toMs] outside the outages, 0 to 1; for an empty range 1, or 0 inside an outage.
double AvailabilityOver(const std::vector<TOutage>& outages, int64_t fromMs, int64_t toMs);
