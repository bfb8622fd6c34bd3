#include "metrics/metrics_server.h"

#include "core/exceptions.h"
#include "metrics/metrics_users.h"
#include "metrics/probe_metrics.h"
#include "metrics/run_info_metrics.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <regex>

namespace {
// "ops" with the password "s3cret pass", as htpasswd -B spells a bcrypt hash ($2y$, cost 4 to keep it quick).
const char* const UsersFile = "# who may scrape\n"
                              "ops:$2y$04$ttCZVP3vgZ1lGNxaKFohKOdFfy3k1TBrzf8Hk9Yt5FCEIKNbJlsIu\n";

// A connection to the server on loopback whose reads give up after timeoutMs.
class TClient {
public:
    TClient(int port, int timeoutMs) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        const timeval timeout{timeoutMs / 1000, timeoutMs % 1000 * 1000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~TClient() { close(m_fd); }
    bool Connected() const { return m_connected; }
    void Send(const std::string& text) {
        EXPECT_EQ(send(m_fd, text.data(), text.size(), MSG_NOSIGNAL), ssize_t(text.size()));
    }
    // What the server sent until it closed the connection; nothing when the reads timed out first.
    std::optional<std::string> ReadToClose() {
        std::string text;
        char buffer[4096];
        for (;;) {
            const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
            if (got == 0)
                return text;
            if (got < 0)
                return errno == ECONNRESET ? std::optional(text) : std::nullopt;
            text.append(buffer, static_cast<size_t>(got));
        }
    }

private:
    int m_fd;
    bool m_connected = false;
};

// The whole answer to one scrape, or "no answer" when the server kept it waiting.
std::string Scrape(int port, const std::string& credentials = {}) {
    TClient client(port, 2000);
    client.Send("GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
                (credentials.empty() ? "" : "Authorization: Basic " + credentials + "\r\n") + "\r\n");
    return client.ReadToClose().value_or("no answer");
}

std::string Base64(const std::string& text) {
    return QByteArray::fromStdString(text).toBase64().toStdString();
}

double Value(const std::string& text, const std::string& series) {
    std::smatch match;
    return std::regex_search(text, match, std::regex("\n" + series + " ([^\n]+)")) ? std::stod(match[1].str())
                                                                                   : std::nan("");
}

std::string UsersPath(const QTemporaryDir& folder, const std::string& text) {
    const std::string path = folder.filePath("users").toStdString();
    std::ofstream(path) << text;
    return path;
}

std::string Refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.Utf8Message().empty() ? error.Message() : error.Utf8Message();
    }
    return "no refusal";
}
} // namespace

// Two connections that stall (one sends nothing, one half a request) do not keep a scrape waiting, and the
// server closes them itself soon. A scrape without the right credentials is answered 401; with them, it gets
// the probe's, the run's and the process's series in a text that Prometheus's own tool accepts.
TEST(MetricsServer, ServesItsUsersBesideStalledConnectionsAndClosesThoseItself) {
    QTemporaryDir folder;
    auto runInfo = std::make_shared<TRunInfoMetrics>("db1");
    runInfo->SetPeriodMs(2500);
    runInfo->SetCallLimitMs(30000);
    runInfo->SetAmount(10);
    runInfo->ServerVersion("3.0.11.33703");
    runInfo->ServerVersion("4.0.5.3140"); // upgraded while the probe waited for it
    TMetricsServer server(
        "127.0.0.1:0", {std::make_shared<TProbeMetrics>("db1", std::make_shared<TOutageLedger>()), runInfo},
        std::make_shared<const TMetricsUsers>(TMetricsUsers::FromFile(UsersPath(folder, UsersFile))));
    TClient idle(server.Port(), 10000);
    TClient halfSent(server.Port(), 10000);
    ASSERT_TRUE(idle.Connected() && halfSent.Connected());
    halfSent.Send("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n");

    EXPECT_EQ(Scrape(server.Port()).substr(0, 12), "HTTP/1.1 401");
    EXPECT_EQ(Scrape(server.Port(), Base64("ops:wrong")).substr(0, 12), "HTTP/1.1 401");
    EXPECT_EQ(Scrape(server.Port(), Base64("nobody:s3cret pass")).substr(0, 12), "HTTP/1.1 401");
    const std::string answer = Scrape(server.Port(), Base64("ops:s3cret pass"));
    ASSERT_EQ(answer.substr(0, 12), "HTTP/1.1 200") << answer;
    const std::string text = answer.substr(answer.find("\r\n\r\n") + 4);
    EXPECT_EQ(Value(text, R"(quorvane_period_seconds\{target="db1"\})"), 2.5);
    EXPECT_EQ(Value(text, R"(quorvane_call_limit_seconds\{target="db1"\})"), 30);
    EXPECT_EQ(Value(text, R"(quorvane_amount\{target="db1"\})"), 10);
    EXPECT_EQ(Value(text, R"(quorvane_running\{target="db1"\})"), 0);
    EXPECT_EQ(Value(text, R"(quorvane_server_info\{target="db1",version="4.0.5.3140"\})"), 1);
    EXPECT_EQ(text.find("3.0.11.33703"), std::string::npos);
    EXPECT_EQ(Value(text, R"(quorvane_cycle_duration_seconds_bucket\{target="db1",le="120"\})"), 0);
    EXPECT_GE(Value(text, "process_open_fds"), 3); // the listener and the two stalled connections at least
    EXPECT_GT(Value(text, "process_max_fds"), Value(text, "process_open_fds"));
    EXPECT_GT(Value(text, "process_resident_memory_bytes"), 1e6);
    EXPECT_GE(Value(text, "process_cpu_seconds_total"), 0);
    const double now = static_cast<double>(QDateTime::currentSecsSinceEpoch());
    EXPECT_GT(Value(text, "process_start_time_seconds"), now - 600);
    EXPECT_LE(Value(text, "process_start_time_seconds"), now + 1);
    FILE* check = popen(PROMTOOL " check metrics", "w");
    ASSERT_NE(check, nullptr);
    std::fputs(text.c_str(), check);
    EXPECT_EQ(pclose(check), 0) << text;

    EXPECT_TRUE(idle.ReadToClose().has_value());
    EXPECT_TRUE(halfSent.ReadToClose().has_value());
}

// A users file is taken whole or refused at the line that is wrong; an address is refused with what can be
// done.
TEST(MetricsServer, RefusesBadUsersFilesAndAnAddressItCannotServe) {
    QTemporaryDir folder;
    const std::string path = UsersPath(folder, "");
    EXPECT_EQ(Refusal([&] { TMetricsUsers::FromText(path, "ops:s3cret pass\n"); }),
              "metrics users: " + path + ":1: a line is 'user:<bcrypt hash>' (htpasswd -nB user)");
    EXPECT_EQ(Refusal([&] { TMetricsUsers::FromText(path, std::string(UsersFile) + "\nops:$1$md5$hash\n"); }),
              "metrics users: " + path + ":4: a line is 'user:<bcrypt hash>' (htpasswd -nB user)");
    EXPECT_EQ(Refusal([&] { TMetricsUsers::FromText(path, std::string(UsersFile) + UsersFile); }),
              "metrics users: " + path + ":4: the user \"ops\" is named twice");
    EXPECT_EQ(Refusal([&] { TMetricsUsers::FromFile(path); }),
              "metrics users: \"" + path + "\" names no user");
    EXPECT_EQ(Refusal([&] { TMetricsUsers::FromFile(path + ".none"); }),
              "metrics users: cannot read \"" + path + ".none\": No such file or directory");
    // Debian's civetweb is built without IPv6.
    EXPECT_EQ(Refusal([] { TMetricsServer("[::1]:0", {}); }),
              "metrics: cannot listen on [::1]:0: this build's HTTP server has no IPv6; give an IPv4 address "
              "(127.0.0.1:PORT, or 0.0.0.0:PORT for every address)");
}
