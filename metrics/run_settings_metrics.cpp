#include "metrics/run_settings_metrics.h"

#include <prometheus/family.h>

namespace {
prometheus::Gauge& Registered(prometheus::Registry& registry, const char* name, const char* help,
                              const std::string& target) {
    return prometheus::BuildGauge().Name(name).Help(help).Labels({{"target", target}}).Register(registry).Add({});
}
} // namespace

TRunSettingsMetrics::TRunSettingsMetrics(const std::string& target)
    : m_period(&Registered(m_registry, "quorvane_period_seconds", "Seconds from one cycle to the next", target)),
      m_callLimit(&Registered(m_registry, "quorvane_call_limit_seconds",
                              "Seconds a client call may wait for the server before it is cancelled", target)),
      m_amount(&Registered(m_registry, "quorvane_amount", "Executions of the statement in one cycle", target)) {}

std::vector<prometheus::MetricFamily> TRunSettingsMetrics::Collect() const { return m_registry.Collect(); }

void TRunSettingsMetrics::SetPeriodMs(int64_t periodMs) { m_period->Set(static_cast<double>(periodMs) / 1000); }

void TRunSettingsMetrics::SetCallLimitMs(int64_t callLimitMs) {
    m_callLimit->Set(static_cast<double>(callLimitMs) / 1000);
}

void TRunSettingsMetrics::SetAmount(int32_t amount) { m_amount->Set(amount); }
