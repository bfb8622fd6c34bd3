#pragma once

#include <cstdint>
#include <string>

// Where tools/test put the Firebird test server and its databases. A test that needs the server and finds
// these unset fails: CI must never skip the server tests silently.
struct TestServer {
    // A test registered for Firebird 4.0 (QV_TEST_SERVER=4.0) gets the 4.0 server's settings, which tools/test
    // exports with the prefix QV_FB4_, in place of the 3.0 server's; unset ones stay unset, so such a test fails
    // rather than testing the 3.0 server. Called first thing in every test program.
    static void SelectServer();
    // The major version of the server the test runs against: 3, or 4 under QV_TEST_SERVER=4.0.
    static int Major();
    static std::string Db1();      // dialect 1, WIN1251: "localhost/<port>:/path/d1.fdb"
    static std::string Db3();      // dialect 3, WIN1251
    static std::string DbDir();    // the directory holding both, writable by the server
    static std::string User();     // "SYSDBA"
    static std::string Password(); // the known SYSDBA password
    static std::string FbHome();   // the server's Firebird directory: configuration, security database, files
    static uint16_t Port();        // the server's loopback port

    // "localhost/<port>:<path>": a database at that path, opened through the test server.
    static std::string OnServer(const std::string& path);

    // The local path of a "host:/path" database name.
    static std::string LocalPath(const std::string& dbName);
    // "localhost:/path" of a database of that file name (UTF-8) in DbDir(), dialect 3, WIN1251; made when
    // it does not exist yet.
    static std::string Database(const std::string& fileName);
    // Runs isql-fb on a script against a database with the test credentials; returns its output.
    static std::string Isql(const std::string& dbName, const std::string& script);
    // User attachments of this test process to that database, as the server's monitoring tables show them (by
    // the client's process id): isql's own and those of the tests running beside it do not count. -1 when
    // isql could not tell.
    static int OwnAttachments(const std::string& dbName);
};
