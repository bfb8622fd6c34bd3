#include "metrics/run_info_metrics.h"

namespace {
prometheus::Family<prometheus::Gauge>& Family(prometheus::Registry& registry, const char* name,
                                              const char* help, const std::string& target) {
    return prometheus::BuildGauge().Name(name).Help(help).Labels({{"target", target}}).Register(registry);
}
} // namespace

TRunInfoMetrics::TRunInfoMetrics(const std::string& target)
    : m_period(&Family(m_registry, "quorvane_period_seconds", "Seconds from one cycle to the next", target)
                    .Add({})),
      m_callLimit(&Family(m_registry, "quorvane_call_limit_seconds",
                          "Seconds a client call may wait for the server before it is cancelled", target)
                       .Add({})),
      m_amount(
          &Family(m_registry, "quorvane_amount", "Executions of the statement in one cycle", target).Add({})),
      m_serverInfo(
          &Family(m_registry, "quorvane_server_info", "The version of the server the run reached", target)) {
}

std::vector<prometheus::MetricFamily> TRunInfoMetrics::Collect() const {
    return m_registry.Collect();
}

void TRunInfoMetrics::SetPeriodMs(int64_t periodMs) {
    m_period->Set(static_cast<double>(periodMs) / 1000);
}

void TRunInfoMetrics::SetCallLimitMs(int64_t callLimitMs) {
    m_callLimit->Set(static_cast<double>(callLimitMs) / 1000);
}

void TRunInfoMetrics::SetAmount(int32_t amount) {
    m_amount->Set(amount);
}

// One series at a time: a server upgraded during an outage is met under its new version.
void TRunInfoMetrics::ServerVersion(const std::string& version) {
    std::lock_guard lock(m_serverMutex);
    if (version == m_serverVersion)
        return;
    if (m_server != nullptr)
        m_serverInfo->Remove(m_server);
    m_server = &m_serverInfo->Add({{"version", version}});
    m_server->Set(1);
    m_serverVersion = version;
}
