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
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The 3.0 server is the machine's; the 4.0 one is started by the launcher tools/test put in its folder.
std::string ServerBinary() {
    return TestServer::Major() == 3 ? "/usr/sbin/firebird" : TestServer::FbHome() + "/firebird";
}
std::string SecurityDatabase() { return TestServer::Major() == 3 ? "security3.fdb" : "security4.fdb"; }

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

// The server runs as the account that owns the test server's folder: root hands it to the server's own account,
// as tools/test does, so that its log under /var/log/firebird never becomes root's.
void GiveTo(const std::string& path, uid_t uid, gid_t gid) {
    if (getuid() != 0)
        return;
    for (const auto& entry : fs::recursive_directory_iterator(path))
        lchown(entry.path().c_str(), uid, gid);
    lchown(path.c_str(), uid, gid);
}

void Become(uid_t uid, gid_t gid) {
    if (getuid() != 0 || uid == 0)
        return;
    if (setgid(gid) != 0 || setuid(uid) != 0)
        _exit(126);
}

} // namespace

PrivateServer::PrivateServer() : m_port(FreePort()) {
    m_root = TestServer::DbDir() + "/private-server-" + std::to_string(getpid());
    fs::remove_all(m_root);
    fs::create_directories(m_root + "/lock");
    fs::create_directories(m_root + "/tmp");
    // Everything but the configuration comes from the test server's folder; the character sets by copy, as
    // the engine loads no module that lies outside its own intl folder, and so 4.0's plugins, which it refuses
    // through a link.
    const fs::path home = TestServer::FbHome();
    for (const char* shared : {"UDF", "lib", "plugins", "firebird.msg", "plugins.conf"}) {
        if (!fs::exists(home / shared))
            continue;
        if (TestServer::Major() == 3)
            fs::create_symlink(home / shared, fs::path(m_root) / shared);
        else
            fs::copy(home / shared, fs::path(m_root) / shared, fs::copy_options::recursive);
    }
    fs::copy(home / "intl", fs::path(m_root) / "intl", fs::copy_options::recursive);
    std::ofstream(m_root + "/firebird.conf") << "RemoteServicePort = " << m_port << "\n"
                                             << "RemoteBindAddress = 127.0.0.1\n"
                                             << "UdfAccess = None\n"
                                             << "SecurityDatabase = " << m_root << "/" << SecurityDatabase() << "\n";
    // The test server's security database, so that the test credentials hold here too.
    fs::copy_file(home / SecurityDatabase(), fs::path(m_root) / SecurityDatabase());
    struct stat owner {};
    if (stat(TestServer::DbDir().c_str(), &owner) != 0)
        throw std::runtime_error("private server: cannot read the owner of " + TestServer::DbDir());
    m_uid = owner.st_uid;
    m_gid = owner.st_gid;
    GiveTo(m_root, m_uid, m_gid);
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
    const std::string binary = ServerBinary();
    m_pid = fork();
    if (m_pid == 0) {
        setenv("FIREBIRD", m_root.c_str(), 1);
        setenv("FIREBIRD_LOCK", (m_root + "/lock").c_str(), 1);
        setenv("FIREBIRD_TMP", (m_root + "/tmp").c_str(), 1);
        // Dies with the test process, whatever ends it.
        Become(m_uid, m_gid);
        // After the change of account, which clears it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execl(binary.c_str(), binary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_pid < 0)
        throw std::runtime_error("private server: cannot start " + binary);
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
