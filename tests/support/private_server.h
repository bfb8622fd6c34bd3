#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

// A Firebird server process of the test's own, on a loopback port of its own, with its own configuration,
// lock directory and copy of the test server's security database: a test may kill it without touching the
// shared test server.
// Restart() does what the guardian does after a crash. The process is killed with the object.
class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    uint16_t Port() const { return m_port; }
    // A fresh WIN1251 database served by this server: "127.0.0.1/<port>:<path>".
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
    // The account the server runs as.
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};
