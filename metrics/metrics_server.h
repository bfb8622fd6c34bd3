#pragma once

#include <memory>
#include <string>

namespace prometheus {
class Exposer;
}
class TProbeMetrics;

// Serves the metrics on /metrics at HOST:PORT ("127.0.0.1:9464", "[::1]:9464", "0.0.0.0:9464") from threads
// of its own, until it is destroyed. An address that is not HOST:PORT, or that cannot be bound (taken, not
// this machine's), raises an Exception that says so.
class TMetricsServer {
public:
    TMetricsServer(const std::string& address, std::shared_ptr<TProbeMetrics> metrics);
    ~TMetricsServer();
    TMetricsServer(const TMetricsServer&) = delete;
    TMetricsServer& operator=(const TMetricsServer&) = delete;

    // The port listened on (the one asked for, or the one chosen for port 0).
    int Port() const;

private:
    std::shared_ptr<TProbeMetrics> m_metrics;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};
