#pragma once

#include "tests/support/test_server.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A TCP relay on a loopback port of its own in front of the test server, so that a test can break the link for
// real and on cue. It runs on a thread of the test process and stops with the object.
//
//   relaying: every accepted connection is paired with a fresh connection to the server and bytes flow both ways;
//   cut:      every relayed socket is closed at once and the port refuses new connections;
//   frozen:   sockets stay open and new connections are accepted, but no byte is relayed (a hung server or a
//             link that silently drops packets). Restore() relays what waited in the meantime.
// Apart from these, the relay may be slowed to a rate (a slow link): a large request then fills the socket
// buffers and the client's send blocks as it would on a real slow line.
class FaultProxy {
public:
    explicit FaultProxy(uint16_t serverPort = TestServer::Port());
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    uint16_t Port() const { return m_port; }
    // "localhost/<server port>:/path/d1.fdb" -> "127.0.0.1/<port>:/path/d1.fdb": the same database reached through the relay.
    std::string DbName(const std::string& serverDbName) const;

    // Each returns once the relay thread has carried the change out.
    void Cut();
    void Freeze();
    void Restore();
    // Relays at most this many bytes a second, both ways together; 0 relays at full speed.
    void LimitRate(size_t bytesPerSecond);

    // Connections accepted since the proxy started (restore attempts show up here).
    int AcceptedConnections() const;
    // Connections relayed now: one closes when its client (or the server) closes it, or at a cut.
    int OpenConnections() const;

private:
    enum class Mode { Relaying, Cut, Frozen };

    void Run();
    void SetMode(Mode mode);
    void Wake();

    uint16_t m_serverPort;
    uint16_t m_port = 0;
    int m_listener = -1; // owned by the relay thread; -1 while cut
    int m_wakeRead = -1;
    int m_wakeWrite = -1;

    mutable std::mutex m_mutex;
    std::condition_variable m_applied;
    Mode m_requested = Mode::Relaying;
    unsigned m_requestCount = 0;
    unsigned m_appliedCount = 0;
    bool m_stop = false;
    int m_accepted = 0;
    int m_open = 0;
    size_t m_bytesPerSecond = 0;

    std::thread m_thread;
};
