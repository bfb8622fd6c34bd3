#include "tests/support/fault_proxy.h"

#include "tests/support/loopback.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void SetNonBlocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

void SetNoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Listens on the loopback port (0: any free port); returns the socket or -1.
int Listen(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    SetNonBlocking(fd);
    return fd;
}

uint16_t BoundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

int ConnectTo(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address = Loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One relayed connection: side 0 the client, side 1 the server. pending[i] waits to be written to side i.
struct Pair {
    int fd[2];
    std::string pending[2];
    bool open = true;

    void Close() {
        if (!open)
            return;
        close(fd[0]);
        close(fd[1]);
        open = false;
    }

    // Writes what it can of the bytes waiting for side i; false when the socket is gone.
    bool Flush(int i) {
        while (!pending[i].empty()) {
            const ssize_t n = send(fd[i], pending[i].data(), pending[i].size(), MSG_NOSIGNAL);
            if (n < 0)
                return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            pending[i].erase(0, static_cast<size_t>(n));
        }
        return true;
    }

    // Moves what side i has to say towards the other side, at most the bytes the rate allows (all when
    // allowance is null); false when side i closed or failed.
    bool Forward(int i, double* allowance) {
        char buffer[65536];
        const size_t most = allowance ? std::min(sizeof buffer, static_cast<size_t>(*allowance)) : sizeof buffer;
        if (most == 0)
            return true;
        const ssize_t n = recv(fd[i], buffer, most, 0);
        if (n == 0)
            return false;
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (allowance)
            *allowance -= static_cast<double>(n);
        pending[1 - i].append(buffer, static_cast<size_t>(n));
        return Flush(1 - i);
    }
};

// Cut closes every relayed socket and the listener; the other modes listen again when cut before.
void ApplyMode(bool cut, std::vector<Pair>& pairs, int& listener, uint16_t port) {
    if (cut) {
        for (Pair& pair : pairs)
            pair.Close();
        pairs.clear();
        if (listener >= 0)
            close(listener);
        listener = -1;
    } else if (listener < 0) {
        listener = Listen(port);
    }
}

void AddPairsToPoll(std::vector<Pair>& pairs, std::vector<pollfd>& polled, bool mayRead) {
    for (Pair& pair : pairs)
        for (int i = 0; i < 2; ++i) {
            short events = mayRead && pair.pending[1 - i].empty() ? POLLIN : 0;
            if (!pair.pending[i].empty())
                events |= POLLOUT;
            polled.push_back({pair.fd[i], events, 0});
        }
}

void RelayPolled(std::vector<Pair>& pairs, const std::vector<pollfd>& polled, size_t firstPair, double* allowance) {
    for (size_t p = 0; p < pairs.size(); ++p) {
        Pair& pair = pairs[p];
        for (int i = 0; i < 2 && pair.open; ++i) {
            const short revents = polled[firstPair + 2 * p + i].revents;
            bool alive = true;
            if (revents & POLLOUT)
                alive = pair.Flush(i);
            if (alive && (revents & (POLLIN | POLLHUP | POLLERR)))
                alive = pair.Forward(i, allowance);
            if (!alive)
                pair.Close();
        }
    }
}

// Pairs a new client with a fresh connection to the server; false when there was none or the server refused.
bool AcceptPair(int listener, uint16_t serverPort, std::vector<Pair>& pairs) {
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return false;
    const int server = ConnectTo(serverPort);
    if (server < 0) {
        close(client);
        return false;
    }
    for (int fd : {client, server}) {
        SetNonBlocking(fd);
        SetNoDelay(fd);
    }
    pairs.push_back(Pair{{client, server}, {}, true});
    return true;
}

// The bytes a rate allows, refilled with the time that passed; a burst of at most a twentieth of a second.
class RateAllowance {
public:
    // Null when the relay is not slowed.
    double* Refill(size_t bytesPerSecond) {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - m_refilled).count();
        m_refilled = now;
        if (bytesPerSecond == 0)
            return nullptr;
        const double rate = static_cast<double>(bytesPerSecond);
        m_bytes = std::min(m_bytes + seconds * rate, std::max(rate / 20, 1.0));
        return &m_bytes;
    }

private:
    double m_bytes = 0;
    std::chrono::steady_clock::time_point m_refilled = std::chrono::steady_clock::now();
};

} // namespace

FaultProxy::FaultProxy(uint16_t serverPort) : m_serverPort(serverPort) {
    const int listener = Listen(0);
    if (listener < 0)
        throw std::runtime_error("fault proxy: cannot listen on a loopback port");
    m_port = BoundPort(listener);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        close(listener);
        throw std::runtime_error("fault proxy: cannot create its wake-up pipe");
    }
    m_wakeRead = pipeFds[0];
    m_wakeWrite = pipeFds[1];
    m_listener = listener;
    m_thread = std::thread([this] { Run(); });
}

FaultProxy::~FaultProxy() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    Wake();
    m_thread.join();
    close(m_wakeRead);
    close(m_wakeWrite);
}

std::string FaultProxy::DbName(const std::string& serverDbName) const {
    const auto colon = serverDbName.find(':');
    const std::string path = colon == std::string::npos ? serverDbName : serverDbName.substr(colon + 1);
    return "127.0.0.1/" + std::to_string(m_port) + ":" + path;
}

void FaultProxy::Cut() { SetMode(Mode::Cut); }
void FaultProxy::Freeze() { SetMode(Mode::Frozen); }
void FaultProxy::Restore() { SetMode(Mode::Relaying); }

void FaultProxy::LimitRate(size_t bytesPerSecond) {
    {
        std::lock_guard lock(m_mutex);
        m_bytesPerSecond = bytesPerSecond;
    }
    Wake();
}

int FaultProxy::AcceptedConnections() const {
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

int FaultProxy::OpenConnections() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

void FaultProxy::SetMode(Mode mode) {
    std::unique_lock lock(m_mutex);
    m_requested = mode;
    const unsigned request = ++m_requestCount;
    Wake();
    m_applied.wait(lock, [&] { return m_appliedCount >= request; });
    if (mode != Mode::Cut && m_listener < 0)
        throw std::runtime_error("fault proxy: cannot listen on port " + std::to_string(m_port) + " again");
}

void FaultProxy::Wake() {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeWrite, &byte, 1);
}

void FaultProxy::Run() {
    std::vector<Pair> pairs;
    Mode mode = Mode::Relaying;
    RateAllowance rate;
    for (;;) {
        size_t bytesPerSecond = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                break;
            bytesPerSecond = m_bytesPerSecond;
            if (m_appliedCount != m_requestCount) {
                mode = m_requested;
                ApplyMode(mode == Mode::Cut, pairs, m_listener, m_port);
                m_open = static_cast<int>(pairs.size());
                m_appliedCount = m_requestCount;
                m_applied.notify_all();
            }
        }
        std::vector<pollfd> polled{{m_wakeRead, POLLIN, 0}};
        if (m_listener >= 0)
            polled.push_back({m_listener, POLLIN, 0});
        const size_t firstPair = polled.size();
        double* allowance = rate.Refill(bytesPerSecond);
        const bool mayRead = allowance == nullptr || *allowance >= 1;
        if (mode == Mode::Relaying)
            AddPairsToPoll(pairs, polled, mayRead);
        // A slowed relay that has used up its bytes looks again when the next ones are due.
        if (poll(polled.data(), polled.size(), mayRead ? -1 : 10) < 0 && errno != EINTR)
            break;
        allowance = rate.Refill(bytesPerSecond);

        if (polled[0].revents != 0) {
            char drain[64];
            while (read(m_wakeRead, drain, sizeof drain) > 0) {
            }
        }
        // Relay before accepting: a pair accepted now has no poll entry yet.
        if (mode == Mode::Relaying)
            RelayPolled(pairs, polled, firstPair, allowance);
        std::erase_if(pairs, [](const Pair& pair) { return !pair.open; });
        const bool accepted = m_listener >= 0 && (polled[1].revents & POLLIN) &&
                              AcceptPair(m_listener, m_serverPort, pairs);
        std::lock_guard lock(m_mutex);
        m_accepted += accepted;
        m_open = static_cast<int>(pairs.size());
    }
    for (Pair& pair : pairs)
        pair.Close();
    if (m_listener >= 0)
        close(m_listener);
}
