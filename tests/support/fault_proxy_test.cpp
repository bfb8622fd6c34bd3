#include "tests/support/fault_proxy.h"
#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

int ConnectToPort(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// What arrives on the socket within the time given; "<eof>" when the peer closed it.
std::string ReceiveWithin(int fd, int milliseconds) {
    pollfd polled{fd, POLLIN, 0};
    if (poll(&polled, 1, milliseconds) <= 0)
        return {};
    char buffer[256];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    return n <= 0 ? "<eof>" : std::string(buffer, static_cast<size_t>(n));
}

// A loopback echo server standing in for the database server, so the relay's byte flow can be watched.
class EchoServer {
public:
    EchoServer() {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_listener, 8);
        socklen_t length = sizeof address;
        getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~EchoServer() {
        shutdown(m_listener, SHUT_RDWR);
        close(m_listener);
        m_thread.join();
    }
    uint16_t Port() const { return m_port; }

private:
    void Serve() {
        std::vector<std::thread> sessions;
        for (int client; (client = accept(m_listener, nullptr, nullptr)) >= 0;)
            sessions.emplace_back([client] {
                char buffer[256];
                for (ssize_t n; (n = recv(client, buffer, sizeof buffer, 0)) > 0;)
                    send(client, buffer, static_cast<size_t>(n), MSG_NOSIGNAL);
                close(client);
            });
        for (auto& session : sessions)
            session.detach();
    }

    int m_listener;
    uint16_t m_port;
    std::thread m_thread;
};

TEST(FaultProxy, CutClosesRelayedSocketsAndRefusesUntilRestored) {
    EchoServer echo;
    FaultProxy proxy(echo.Port());
    const int client = ConnectToPort(proxy.Port());
    ASSERT_GE(client, 0);
    send(client, "ping", 4, 0);
    EXPECT_EQ(ReceiveWithin(client, 2000), "ping");

    proxy.Cut();
    EXPECT_EQ(ReceiveWithin(client, 2000), "<eof>");
    EXPECT_EQ(ConnectToPort(proxy.Port()), -1);
    close(client);

    proxy.Restore();
    const int again = ConnectToPort(proxy.Port());
    ASSERT_GE(again, 0);
    send(again, "back", 4, 0);
    EXPECT_EQ(ReceiveWithin(again, 2000), "back");
    close(again);
    EXPECT_EQ(proxy.AcceptedConnections(), 2);
}

TEST(FaultProxy, FreezeHoldsBytesAndAcceptsSilentlyUntilRestored) {
    EchoServer echo;
    FaultProxy proxy(echo.Port());
    const int client = ConnectToPort(proxy.Port());
    ASSERT_GE(client, 0);

    proxy.Freeze();
    send(client, "held", 4, 0);
    EXPECT_EQ(ReceiveWithin(client, 300), "");
    const int late = ConnectToPort(proxy.Port());
    ASSERT_GE(late, 0) << "a frozen link still accepts connections";
    send(late, "late", 4, 0);
    EXPECT_EQ(ReceiveWithin(late, 300), "");

    proxy.Restore();
    EXPECT_EQ(ReceiveWithin(client, 2000), "held");
    EXPECT_EQ(ReceiveWithin(late, 2000), "late");
    close(client);
    close(late);
}

TEST(FaultProxy, RelaysTheRealServerAndBreaksItOnCut) {
    FaultProxy proxy;
    const std::string db = proxy.DbName(TestServer::Db1());
    EXPECT_EQ(db.rfind("127.0.0.1/" + std::to_string(proxy.Port()) + ":/", 0), 0u) << db;
    const std::string query = "select 'relayed' from rdb$database;";
    EXPECT_NE(TestServer::Isql(db, query).find("relayed"), std::string::npos);

    proxy.Cut();
    const std::string refused = TestServer::Isql(db, query);
    EXPECT_EQ(refused.find("relayed"), std::string::npos);
    EXPECT_NE(refused.find("network request"), std::string::npos) << refused;

    proxy.Restore();
    EXPECT_NE(TestServer::Isql(db, query).find("relayed"), std::string::npos);
}

} // namespace
