#include "metrics/metrics_server.h"

#include "core/exceptions.h"
#include "metrics/probe_metrics.h"

#include <prometheus/exposer.h>

#include <regex>
#include <stdexcept>

namespace {
void CheckAddress(const std::string& address) {
    static const std::regex hostAndPort(R"((\[[0-9A-Fa-f:.]+\]|[^\s\[\]:]+):([0-9]{1,5}))");
    std::smatch match;
    if (!std::regex_match(address, match, hostAndPort) || std::stoi(match[2].str()) > 65535)
        throw Exception::FromUtf8("metrics: \"" + address + "\" is not HOST:PORT (such as 127.0.0.1:9464)");
}
} // namespace

TMetricsServer::TMetricsServer(const std::string& address, std::shared_ptr<TProbeMetrics> metrics)
    : m_metrics(std::move(metrics)) {
    CheckAddress(address);
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(address, 1);
    } catch (const std::exception&) {
        // The library's own text speaks of its internals; what the user can act on is the address.
        throw Exception::FromUtf8("metrics: cannot listen on " + address +
                                  ": the port is taken, or the address is not one of this machine's");
    }
    m_exposer->RegisterCollectable(m_metrics);
}

TMetricsServer::~TMetricsServer() = default;

int TMetricsServer::Port() const {
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}
