#include "tests/support/test_server.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace {
std::string Required(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        ADD_FAILURE() << name << " is not set: run the tests through tools/test, which starts the test server";
        throw std::runtime_error(std::string(name) + " is not set");
    }
    return value;
}
} // namespace

void TestServer::SelectServer() {
    if (Major() == 3)
        return;
    // The client's configuration too: it names the server's port for a database named without one.
    for (const char* name : {"FIREBIRD", "FIREBIRD_LOCK", "FIREBIRD_TMP", "QV_TEST_DBDIR", "QV_TEST_DB1", "QV_TEST_DB3",
                             "QV_TEST_USER", "QV_TEST_PASSWORD", "QV_TEST_FBHOME"}) {
        const char* value = std::getenv(("QV_FB4_" + std::string(name)).c_str());
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
}

int TestServer::Major() {
    const char* server = std::getenv("QV_TEST_SERVER");
    return server != nullptr && std::string(server) == "4.0" ? 4 : 3;
}

std::string TestServer::Db1() { return Required("QV_TEST_DB1"); }
std::string TestServer::Db3() { return Required("QV_TEST_DB3"); }
std::string TestServer::DbDir() { return Required("QV_TEST_DBDIR"); }
std::string TestServer::User() { return Required("QV_TEST_USER"); }
std::string TestServer::Password() { return Required("QV_TEST_PASSWORD"); }
std::string TestServer::FbHome() { return Required("QV_TEST_FBHOME"); }

uint16_t TestServer::Port() {
    const std::string db = Db1();
    const auto slash = db.find('/');
    const auto colon = db.find(':');
    if (slash == std::string::npos || colon == std::string::npos || slash > colon)
        throw std::runtime_error("QV_TEST_DB1 names no port: " + db);
    return static_cast<uint16_t>(std::stoi(db.substr(slash + 1, colon - slash - 1)));
}

std::string TestServer::OnServer(const std::string& path) {
    const std::string db = Db1();
    return db.substr(0, db.find(':') + 1) + path;
}

std::string TestServer::LocalPath(const std::string& dbName) {
    const auto colon = dbName.find(':');
    return colon == std::string::npos ? dbName : dbName.substr(colon + 1);
}

std::string TestServer::Database(const std::string& fileName) {
    const std::string path = DbDir() + "/" + fileName;
    const std::string name = "localhost:" + path;
    if (access(path.c_str(), F_OK) != 0)
        Isql("", "create database '" + name + "' user '" + User() + "' password '" + Password() +
                     "' default character set WIN1251;");
    return name;
}

std::string TestServer::Isql(const std::string& dbName, const std::string& script) {
    char scriptPath[] = "/tmp/qv-isql-XXXXXX";
    const int fd = mkstemp(scriptPath);
    if (fd < 0)
        throw std::runtime_error("cannot create a temporary script");
    close(fd);
    std::ofstream(scriptPath) << script << "\n";
    const std::string command = "isql-fb -q -user " + User() + " -password " + Password() + " -i " + scriptPath +
                                " " + dbName + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), n);
        pclose(pipe);
    }
    unlink(scriptPath);
    return output;
}

int TestServer::OwnAttachments(const std::string& dbName) {
    const std::string output =
        Isql(dbName, "select 'N=' || count(*) from mon$attachments where mon$system_flag = 0 and "
                     "mon$remote_pid = " + std::to_string(getpid()) + ";");
    const size_t at = output.find("N=");
    return at == std::string::npos ? -1 : std::stoi(output.substr(at + 2));
}
