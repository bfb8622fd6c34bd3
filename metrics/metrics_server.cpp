#include "metrics/metrics_server.h"

#include "core/exceptions.h"
#include "metrics/metrics_users.h"
#include "metrics/process_metrics.h"

#include <civetweb.h>
#include <prometheus/exposer.h>

#include <regex>
#include <stdexcept>

namespace {
// A connection that sends nothing, or half a request, holds one worker until the request timeout closes
// it; with several workers and a short timeout it cannot stop the scrapes, which send their request at once.
constexpr const char* Workers = "4";
constexpr const char* RequestTimeoutMs = "3000";
// What civetweb's mg_check_feature calls its IPv6 support.
constexpr unsigned Ipv6Feature = 8;

void CheckAddress(const std::string& address) {
    static const std::regex hostAndPort(R"((\[[0-9A-Fa-f:.]+\]|[^\s\[\]:]+):([0-9]{1,5}))");
    std::smatch match;
    if (!std::regex_match(address, match, hostAndPort) || std::stoi(match[2].str()) > 65535)
        throw Exception::FromUtf8("metrics: \"" + address + "\" is not HOST:PORT (such as 127.0.0.1:9464)");
    if (address.front() == '[' && mg_check_feature(Ipv6Feature) == 0)
        throw Exception::FromUtf8(
            "metrics: cannot listen on " + address +
            ": this build's HTTP server has no IPv6; give an IPv4 address (127.0.0.1:PORT, "
            "or 0.0.0.0:PORT for every address)");
}
} // namespace

TMetricsServer::TMetricsServer(const std::string& address,
                               std::vector<std::shared_ptr<prometheus::Collectable>> collectables,
                               std::shared_ptr<const TMetricsUsers> users)
    : m_collectables(std::move(collectables)), m_users(std::move(users)) {
    CheckAddress(address);
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(std::vector<std::string>{
            "listening_ports", address, "num_threads", Workers, "request_timeout_ms", RequestTimeoutMs});
    } catch (const std::exception&) {
        // The library's own text speaks of its internals; what the user can act on is the address.
        throw Exception::FromUtf8("metrics: cannot listen on " + address +
                                  ": the port is taken, or the address is not one of this machine's");
    }
    m_collectables.push_back(std::make_shared<TProcessMetrics>());
    for (const auto& collectable : m_collectables)
        m_exposer->RegisterCollectable(collectable);
    if (m_users)
        m_exposer->RegisterAuth(
            [users = m_users](const std::string& user, const std::string& password) {
                return users->Accepts(user, password);
            },
            "Quorvane");
}

TMetricsServer::~TMetricsServer() = default;

int TMetricsServer::Port() const {
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : ports.front();
}
