#pragma once

#include "log/outage_timeline.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

// The run's one account of its outages, fed by the run alone and read by every view: the state line, the
// statistics window, the headless lines, summary and service status, and the metrics. The run tells it its
// start, each client call's beginning and end, each row with its failure, the failed re-attaches and its end;
// readers on any thread ask it what holds now, so a call that hangs is seen while it hangs, without a word
// from the blocked run. Every method is safe from any thread; none blocks the run for longer than a copy.
class TOutageLedger {
public:
    // What a reader sees at one moment, on the run's clock.
    struct TState {
        bool running = false;
        // Start's attach is under way, since this long.
        std::optional<int64_t> attachingMs;
        int64_t nowMs = 0;
        int64_t startMs = 0;
        std::optional<TOutage> outage; // the outage under way, a hung call's included
        size_t outages = 0;            // of this run, the one under way included
        int64_t outageMs = 0;          // of this run, up to now
        double availability = 1;       // of this run, up to now
        TDateTime clockDifference = 0; // local time less the server's, as the run keeps it
    };

    // Fed by the run, on its thread.
    void Attaching();
    void Started(TDateTime at, int64_t periodMs);
    void CallBegun();
    void CallEnded();
    TOutageTimeline::TChange Row(TDateTime at, const std::optional<TFailure>& failure);
    void ReattachFailed(TDateTime at, const TFailure& failure);
    TOutageTimeline::TChange Stopped(TDateTime at);
    // Start failed, or Stop came during its attach: nothing runs.
    void NotStarted();

    TState State() const;
    // The timeline of the run under way or ended last, and the run's clock now.
    TOutageTimeline Timeline() const;
    // Every outage of the run up to now, and the run's time.
    TOutageReport Report() const;
    // Its outages from the first-th on, up to now.
    std::vector<TOutage> Outages(size_t first = 0) const;
    int64_t NowMs() const;

    static int64_t Ms(TDateTime time);

private:
    void Learn(TDateTime at);
    int64_t NowMsLocked() const;

    mutable std::mutex m_mutex;
    TOutageTimeline m_timeline;
    bool m_running = false;
    std::optional<std::chrono::steady_clock::time_point> m_attachingSince;
    // The last event's time on the run's clock and when it came by the steady clock: "now" on the run's
    // clock without asking the local clock at every call.
    int64_t m_lastEventMs = 0;
    std::chrono::steady_clock::time_point m_lastEventAt;
};
