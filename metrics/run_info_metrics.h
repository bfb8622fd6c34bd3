#pragma once

#include "probe/probe_sink.h"

#include <prometheus/collectable.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <mutex>
#include <string>

// The run's configuration as series, so that a rule or a dashboard can read a figure against it: the period,
// the call limit and the Amount (executions per cycle: a cycle's time over it is the time of one execution);
// and, as a sink of the run, the version of the server it reached (quorvane_server_info, 1 with the label
// version, none before the first attach). Every series carries the label target. Safe from any thread.
class TRunInfoMetrics : public IProbeSink, public prometheus::Collectable {
public:
    explicit TRunInfoMetrics(const std::string& target);

    std::vector<prometheus::MetricFamily> Collect() const override;

    void SetPeriodMs(int64_t periodMs);
    void SetCallLimitMs(int64_t callLimitMs);
    void SetAmount(int32_t amount);

    void RowMeasured(const TLogRow&) override {}
    void ServerVersion(const std::string& version) override;

private:
    prometheus::Registry m_registry;
    prometheus::Gauge* m_period = nullptr;
    prometheus::Gauge* m_callLimit = nullptr;
    prometheus::Gauge* m_amount = nullptr;
    prometheus::Family<prometheus::Gauge>* m_serverInfo = nullptr;
    std::mutex m_serverMutex;
    prometheus::Gauge* m_server = nullptr; // the series of the version reached last
    std::string m_serverVersion;
};
