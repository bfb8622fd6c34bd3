#pragma once

#include <prometheus/collectable.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>

#include <string>

// The run's configuration as series, so that a rule or a dashboard can read a figure against it: the period,
// the call limit and the Amount (executions per cycle: a cycle's time over it is the time of one execution).
// Every series carries the label target. The setters are safe from any thread.
class TRunSettingsMetrics : public prometheus::Collectable {
public:
    explicit TRunSettingsMetrics(const std::string& target);

    std::vector<prometheus::MetricFamily> Collect() const override;

    void SetPeriodMs(int64_t periodMs);
    void SetCallLimitMs(int64_t callLimitMs);
    void SetAmount(int32_t amount);

private:
    prometheus::Registry m_registry;
    prometheus::Gauge* m_period = nullptr;
    prometheus::Gauge* m_callLimit = nullptr;
    prometheus::Gauge* m_amount = nullptr;
};
