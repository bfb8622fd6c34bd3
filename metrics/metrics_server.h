#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace prometheus {
class Collectable;
class Exposer;
} // namespace prometheus
class TMetricsUsers;

// Serves the metrics on /metrics at HOST:PORT ("127.0.0.1:9464", "0.0.0.0:9464") from threads of its own,
// until it is destroyed: the series of the collectables given and the process's own. With users, a scrape
// must bring the credentials of one of them (basic authentication), else it is answered 401. An address
// that is not HOST:PORT, or that cannot be bound (taken, not this machine's, IPv6 where the HTTP server has
// none), raises an Exception that says so.
class TMetricsServer {
public:
    TMetricsServer(const std::string& address,
                   std::vector<std::shared_ptr<prometheus::Collectable>> collectables,
                   std::shared_ptr<const TMetricsUsers> users = nullptr);
    ~TMetricsServer();
    TMetricsServer(const TMetricsServer&) = delete;
    TMetricsServer& operator=(const TMetricsServer&) = delete;

    // The port listened on (the one asked for, or the one chosen for port 0).
    int Port() const;

private:
    std::vector<std::shared_ptr<prometheus::Collectable>> m_collectables;
    std::shared_ptr<const TMetricsUsers> m_users;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};
