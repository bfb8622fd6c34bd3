#include "tests/support/private_server.h"

#include "tests/support/loopback.h"

#include "tests/support/test_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kServerBinary = "/usr/sbin/firebird";
constexpr const char* kSecurityDatabase = "/var/lib/firebird/3.0/system/security3.fdb";

// A port nobody listens on right now (the kernel's choice for a socket bound to port 0).
uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace

PrivateServer::PrivateServer() : m_port(FreePort()) {
    m_root = TestServer::DbDir() + "/private-server-" + std::to_string(getpid());
    fs::remove_all(m_root);
    fs::create_directories(m_root + "/lock");
    fs::create_directories(m_root + "/tmp");
    // Everything but the configuration comes from the installed server.
    for (const char* shared : {"UDF", "intl", "lib", "plugins", "firebird.msg", "plugins.conf"})
        fs::create_symlink(fs::path(TestServer::FbHome()) / shared, fs::path(m_root) / shared);
    std::ofstream(m_root + "/firebird.conf") << "RemoteServicePort = " << m_port << "\n"
                                             << "RemoteBindAddress = 127.0.0.1\n"
                                             << "UdfAccess = None\n"
                                             << "SecurityDatabase = " << m_root << "/security3.fdb\n";
    fs::copy_file(kSecurityDatabase, m_root + "/security3.fdb");
    Start();
    m_dbName = "127.0.0.1/" + std::to_string(m_port) + ":" + m_root + "/private.fdb";
    TestServer::Isql("", "create database '" + m_dbName + "' user '" + TestServer::User() + "' password '" +
                             TestServer::Password() + "' default character set WIN1251;");
}

PrivateServer::~PrivateServer() {
    Kill();
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void PrivateServer::Kill() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

void PrivateServer::Restart() {
    Kill();
    Start();
}

void PrivateServer::Start() {
    m_pid = fork();
    if (m_pid == 0) {
        setenv("FIREBIRD", m_root.c_str(), 1);
        setenv("FIREBIRD_LOCK", (m_root + "/lock").c_str(), 1);
        setenv("FIREBIRD_TMP", (m_root + "/tmp").c_str(), 1);
        // Dies with the test process, whatever ends it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(kServerBinary, kServerBinary, static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0)
        throw std::runtime_error("private server: cannot start " + std::string(kServerBinary));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Answers()) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("private server: no answer on port " + std::to_string(m_port));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool PrivateServer::Answers() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(m_port);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}
