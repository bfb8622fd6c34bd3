#pragma once

#include "log/outage_timeline.h"
#include "probe/probe_sink.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

// A sink that keeps the run's outage timeline for readers on other threads (the metrics at a scrape, the
// window's state line, the headless run's once-a-second look), so that a call that hangs is seen while it
// hangs, without an event from the blocked run. Every method is safe from any thread; none blocks the run
// for longer than a copy.
class TOutageWatch : public IProbeSink {
public:
    // What a reader sees at one moment, on the run's clock.
    struct TState {
        bool running = false;
        int64_t nowMs = 0;
        int64_t startMs = 0;
        std::optional<TOutage> outage; // the outage under way, a hung call's included
        size_t outages = 0;            // of this run, the one under way included
        int64_t outageMs = 0;          // of this run, up to now
        double availability = 1;       // of this run, up to now
        int failedReattaches = 0;      // during the outage under way
        std::string lastReattachError; // the reason line of the last of them
        TDateTime clockDifference = 0; // local time less the server's, as the run keeps it
    };

    // The cycle period of the runs that follow: a cycle that waits longer than it is an outage.
    void SetPeriodMs(int64_t periodMs);
    TState State() const;
    // The timeline of the run under way or ended last, and the run's clock now.
    TOutageTimeline Timeline() const;
    // Its outages from the first-th on, up to now.
    std::vector<TOutage> Outages(size_t first) const;
    int64_t NowMs() const;

    void Started(TDateTime at, bool attached) override;
    void CycleBegun(TDateTime at) override;
    void RowMeasured(const TLogRow& row) override;
    void ReattachFailed(TDateTime at, const std::string& error) override;
    void Stopped(TDateTime at) override;

    static int64_t Ms(TDateTime time);

private:
    void Learn(TDateTime at);
    int64_t NowMsLocked() const;

    mutable std::mutex m_mutex;
    int64_t m_periodMs = 0;
    TOutageTimeline m_timeline;
    bool m_running = false;
    // The last event's time on the run's clock and when it came by the steady clock: "now" on the run's
    // clock without asking the local clock at every event.
    int64_t m_lastEventMs = 0;
    std::chrono::steady_clock::time_point m_lastEventAt;
    int m_failedReattaches = 0;
    std::string m_lastReattachError;
};
