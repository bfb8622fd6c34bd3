#include "metrics/probe_metrics.h"

#include <prometheus/family.h>

#include <algorithm>
#include <chrono>

namespace {
// From 1 ms to 30 s, about three buckets to each tenfold.
const prometheus::Histogram::BucketBoundaries CycleBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                              0.25,  0.5,    1,     2.5,  5,     10,   30};

template <typename Builder>
auto& Registered(Builder builder, const char* name, const char* help, prometheus::Registry& registry,
                 const std::string& target) {
    return builder.Name(name).Help(help).Labels({{"target", target}}).Register(registry);
}
} // namespace

TProbeMetrics::TProbeMetrics(const std::string& target) {
    using namespace prometheus;
    m_up = &Registered(BuildGauge(), "quorvane_up", "1 while attached and the last cycle succeeded, else 0",
                       m_registry, target)
                .Add({});
    auto& cycles =
        Registered(BuildCounter(), "quorvane_cycles_total", "Measured cycles by outcome", m_registry, target);
    m_cyclesOk = &cycles.Add({{"outcome", "ok"}});
    m_cyclesFailed = &cycles.Add({{"outcome", "failed"}});
    m_cycleDuration = &Registered(BuildHistogram(), "quorvane_cycle_duration_seconds",
                                  "Elapsed time of the good cycles", m_registry, target)
                           .Add({}, CycleBuckets);
    m_outages =
        &Registered(BuildCounter(), "quorvane_outages_total", "Outages begun", m_registry, target).Add({});
    m_outageSeconds = &Registered(BuildCounter(), "quorvane_outage_seconds_total",
                                  "Time spent in outages, the one under way included", m_registry, target)
                           .Add({});
    m_outageStart = &Registered(BuildGauge(), "quorvane_outage_start_timestamp_seconds",
                                "When the outage under way began; 0 when there is none", m_registry, target)
                         .Add({});
    auto& reattaches = Registered(BuildCounter(), "quorvane_reattach_attempts_total",
                                  "Re-attach attempts during outages by outcome", m_registry, target);
    m_reattachOk = &reattaches.Add({{"outcome", "ok"}});
    m_reattachFailed = &reattaches.Add({{"outcome", "failed"}});
    m_lastSuccess = &Registered(BuildGauge(), "quorvane_last_success_timestamp_seconds",
                                "When the last good cycle ended; 0 before the first", m_registry, target)
                         .Add({});
    m_clockOffset = &Registered(BuildGauge(), "quorvane_server_clock_offset_seconds",
                                "The server's clock less the local clock: UTC against UTC on Firebird 4 and later, "
                                "the server's local time against ours on Firebird 3",
                                m_registry, target)
                         .Add({});
    Registered(BuildGauge(), "quorvane_build_info", "The program's version", m_registry, target)
        .Add({{"version", QUORVANE_VERSION}})
        .Set(1);
}

// A new run's timeline starts from nothing; the counters hold the earlier runs' outages already.
void TProbeMetrics::Started(TDateTime at, bool attached) {
    std::lock_guard lock(m_refreshMutex);
    TOutageWatch::Started(at, attached);
    m_countedOutages = 0;
    m_countedOutageMs = 0;
    m_lastCycleOk = attached;
}

void TProbeMetrics::RowMeasured(const TLogRow& row) {
    TOutageWatch::RowMeasured(row);
    std::lock_guard lock(m_refreshMutex);
    m_lastCycleOk = row.Error.empty();
    if (!m_lastCycleOk) {
        m_cyclesFailed->Increment();
        return;
    }
    m_cyclesOk->Increment();
    m_cycleDuration->Observe(row.Value / 1000.0);
    m_lastSuccessMs = Ms(row.Time);
}

void TProbeMetrics::ReattachFailed(TDateTime at, const std::string& error) {
    TOutageWatch::ReattachFailed(at, error);
    m_reattachFailed->Increment();
}

void TProbeMetrics::Reattached(TDateTime at) {
    TOutageWatch::Reattached(at);
    m_reattachOk->Increment();
}

// The outage counters move by what the timeline has gained since the last scrape; a clock difference that the
// run measured anew may move times back a little, which a counter does not follow. The run's times are the
// server's wall clock, which may lie in another zone or be wrong: a timestamp is the time that far before now
// by this machine's clock.
void TProbeMetrics::Refresh() const {
    const TState state = State();
    const double unixNow =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    const auto unixTime = [&](int64_t runMs) {
        return unixNow - static_cast<double>(state.nowMs - runMs) / 1000;
    };
    std::lock_guard lock(m_refreshMutex);
    if (state.outages > m_countedOutages) {
        m_outages->Increment(static_cast<double>(state.outages - m_countedOutages));
        m_countedOutages = state.outages;
    }
    if (state.outageMs > m_countedOutageMs) {
        m_outageSeconds->Increment(static_cast<double>(state.outageMs - m_countedOutageMs) / 1000);
        m_countedOutageMs = state.outageMs;
    }
    m_up->Set(state.running && m_lastCycleOk && !state.outage ? 1 : 0);
    if (m_lastSuccessMs)
        m_lastSuccess->Set(unixTime(*m_lastSuccessMs));
    m_outageStart->Set(state.outage ? unixTime(state.outage->startMs) : 0);
    m_clockOffset->Set(0.0 - state.clockDifference * 86400); // never "-0"
}

std::vector<prometheus::MetricFamily> TProbeMetrics::Collect() const {
    Refresh();
    return m_registry.Collect();
}
