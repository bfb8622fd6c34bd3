#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

// A Firebird server process of the test's own, on a loopback port of its own, with its own configuration,
// lock directory and copy of the security database: a test may kill it without touching the shared server.
// Restart() does what the guardian does after a crash. The process is killed with the object.
class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    uint16_t Port() const { return m_port; }
    // A fresh database (character set NONE: this server loads no character-set module) served by this server: "127.0.0.1/<port>:<path>".
    const std::string& DbName() const { return m_dbName; }

    // SIGKILL, as a crash would: every attachment dies at once and the port stops answering.
    void Kill();
    // Starts the server again and waits until it answers on its port.
    void Restart();

private:
    void Start();
    bool Answers() const;

    std::string m_root;
    uint16_t m_port = 0;
    std::string m_dbName;
    pid_t m_pid = -1;
};
