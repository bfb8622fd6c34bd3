// The connection against the real server: attach, detach, its checks and what it tells others.
#include "core/exceptions.h"
#include "db/errors.h"
#include "db/fb_database.h"
#include "db/transaction.h"
#include "tests/db/error_capture.h"
#include "tests/db/recording_query_link.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The window's components as the main window sets them up.
struct TForm {
    TComponent form{nullptr, "Form1"};
    TFbDatabase FDB{&form, "FDB"};

    explicit TForm(const std::string& dbName = TestServer::Db1(), const std::string& password = TestServer::Password()) {
        FDB.SetDBName(dbName);
        FDB.SetDBParams({"lc_ctype=WIN1251"});
        FDB.ConnectParams().SetUserName(TestServer::User());
        FDB.ConnectParams().SetPassword(password);
    }
};

} // namespace

TEST(DatabaseAttach, AttachesOnceKeepsTheClockDifferenceAndTellsItsLinks) {
    TForm f;
    TRecordingQueryLink link;
    f.FDB.RegisterQueryLink(&link);
    f.FDB.SetConnected(true);
    ASSERT_TRUE(f.FDB.Connected());
    EXPECT_NE(f.FDB.Handle(), 0u);
    EXPECT_EQ(f.FDB.SQLDialect(), 1);
    EXPECT_EQ(f.FDB.DatabaseDialect(), 1);

    f.FDB.SetClockDifference(0.25);
    f.FDB.SetConnected(true);
    EXPECT_EQ(f.FDB.ClockDifference(), 0.25);

    f.FDB.SetConnected(false);
    EXPECT_FALSE(f.FDB.Connected());
    EXPECT_EQ(f.FDB.Handle(), 0u);
    f.FDB.SetConnected(false);
    EXPECT_EQ(link.notices, (std::vector<std::string>{"attaching", "attached", "detaching", "detached"}));
    f.FDB.UnregisterQueryLink(&link);
}

TEST(DatabaseAttach, DialectIsLoweredToTheDatabasesAndCannotBeRaisedAboveIt) {
    TForm f;
    f.FDB.SetSQLDialect(3);
    f.FDB.SetConnected(true);
    EXPECT_EQ(f.FDB.SQLDialect(), 1);
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetSQLDialect(3); }), std::make_pair(61, std::string("SQL Dialect invalid")));
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetSQLDialect(0); }).first, 61);
    f.FDB.SetConnected(false);

    f.FDB.SetDBName(TestServer::Db3());
    f.FDB.SetSQLDialect(3);
    f.FDB.SetConnected(true);
    EXPECT_EQ(f.FDB.DatabaseDialect(), 3);
    EXPECT_EQ(f.FDB.SQLDialect(), 3);
    f.FDB.SetSQLDialect(1); // lowering is allowed while attached
    EXPECT_EQ(f.FDB.SQLDialect(), 1);
}

TEST(DatabaseAttach, RefusedAttachRaisesTheServerErrorAndStaysDetached) {
    TForm f(TestServer::Db1(), "wrong-password");
    TRecordingQueryLink link;
    f.FDB.RegisterQueryLink(&link);
    try {
        f.FDB.SetConnected(true);
        FAIL() << "a wrong password was accepted";
    } catch (const EFbServerError& error) {
        EXPECT_EQ(error.EngineErrorCode(), 335544472); // login failed
        EXPECT_EQ(error.Sender(), &f.FDB);
        EXPECT_EQ(error.Message().rfind("Form1.FDB:\r\n", 0), 0u) << error.Message();
    }
    EXPECT_FALSE(f.FDB.Connected());
    EXPECT_EQ(f.FDB.Handle(), 0u);
    EXPECT_EQ(link.notices, (std::vector<std::string>{"attaching"}));

    f.FDB.SetDBName(TestServer::DbDir() + "/no-such-database.fdb");
    f.FDB.ConnectParams().SetPassword(TestServer::Password());
    EXPECT_THROW(f.FDB.SetConnected(true), EFbServerError);
    EXPECT_FALSE(f.FDB.Connected());

    f.FDB.SetDBName(TestServer::Db1());
    f.FDB.SetConnected(true);
    EXPECT_TRUE(f.FDB.Connected());
    f.FDB.UnregisterQueryLink(&link);
}

// Names as the file system has them: a letter CP1251 lacks, and Cyrillic on a server whose file names are
// UTF-8.
TEST(DatabaseAttach, NamesOutsideAsciiReachTheServerAsTheFileSystemNamesThem) {
    for (const char* fileName : {"caf\u00e9-18.fdb", "\u0442\u0435\u0441\u0442-18.fdb"}) {
        TForm f(TestServer::Database(fileName));
        f.FDB.SetConnected(true);
        EXPECT_TRUE(f.FDB.Connected()) << fileName;
        EXPECT_EQ(f.FDB.DatabaseDialect(), 3) << fileName;
        f.FDB.SetConnected(false);
    }
    // The same letters in a name with no such file are still refused by the server, whose text quotes the
    // name as it was typed: whole in UTF-8, and in the code page with "?" for the letter it lacks.
    const std::string path = TestServer::DbDir() + "/\u043d\u0435\u0442_caf\u00e9-missing.fdb";
    TForm missing("localhost:" + path);
    try {
        missing.FDB.SetConnected(true);
        ADD_FAILURE() << "attached to a missing database";
    } catch (const EFbServerError& error) {
        EXPECT_NE(error.Utf8Message().find("\"" + path + "\""), std::string::npos) << error.Utf8Message();
        const std::string inCodePage = TestServer::DbDir() + "/\xED\xE5\xF2_caf?-missing.fdb";
        EXPECT_NE(error.Message().find("\"" + inCodePage + "\""), std::string::npos) << error.Message();
        EXPECT_NE(error.EngineText().find(inCodePage), std::string::npos) << error.EngineText();
    }
    EXPECT_FALSE(missing.FDB.Connected());
}

TEST(DatabaseAttach, ClientChecksRaiseTheirNumberedErrorsAndChangeNothing) {
    TForm f("");
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetConnected(true); }),
              std::make_pair(14, std::string("Database name is missing.")));
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.CheckConnected(); }),
              std::make_pair(12, std::string("Form1.FDB: Cannot perform operation -- DB is not open.")));

    f.FDB.SetDBName(TestServer::Db1());
    f.FDB.SetUseLoginPrompt(true);
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetConnected(true); }),
              std::make_pair(7, std::string("Operation cancelled at user's request.")));
    f.FDB.LoginPrompt = [](TFbBaseDatabase&, std::vector<std::string>&) { return false; };
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetConnected(true); }).first, 7);
    EXPECT_FALSE(f.FDB.Connected());
    f.FDB.ConnectParams().SetPassword("");
    f.FDB.LoginPrompt = [](TFbBaseDatabase&, std::vector<std::string>& params) {
        params.push_back("password=" + TestServer::Password());
        return true;
    };
    f.FDB.SetConnected(true);
    ASSERT_TRUE(f.FDB.Connected());

    const std::vector<std::string> params = f.FDB.DBParams();
    const std::pair<int, std::string> dbOpen{13, "Cannot perform operation -- DB is currently open."};
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetDBName(TestServer::Db3()); }), dbOpen);
    EXPECT_EQ(f.FDB.DBName(), TestServer::Db1());
    f.FDB.SetDBName(TestServer::Db1());
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetDBParams({}); }), dbOpen);
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.ConnectParams().SetUserName("OTHER"); }), dbOpen);
    // The texts it already has are no change, so Start may assign them to a connection that re-attached.
    EXPECT_NO_THROW(f.FDB.SetDBParams(params));
    EXPECT_NO_THROW(f.FDB.ConnectParams().SetUserName(TestServer::User()));
    EXPECT_NO_THROW(f.FDB.ConnectParams().SetPassword(TestServer::Password()));
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetLibraryName("libfbclient.so.2"); }), dbOpen);
    EXPECT_EQ(f.FDB.DBParams(), params);
    EXPECT_EQ(f.FDB.LibraryName(), "gds32.dll");
}

TEST(DatabaseAttach, BadParametersFailEveryAttachUntilTheyAreMended) {
    TForm f;
    f.FDB.SetConnected(true);
    f.FDB.SetConnected(false);

    f.FDB.SetDBParams({"lc_ctype = WIN1251", "user_name=" + TestServer::User(), "password=" + TestServer::Password()});
    EXPECT_EQ(ClientErrorOf([&] { f.FDB.SetConnected(true); }),
              std::make_pair(9, std::string("DPB Constant (lc_ctype ) is unknown.")));
    EXPECT_FALSE(f.FDB.Connected());
    EXPECT_EQ(f.FDB.DBParams()[0], "lc_ctype = WIN1251");

    f.FDB.SetDBParams({" num_buffers=many ", "user_name=" + TestServer::User(), "password=" + TestServer::Password()});
    EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(true); }), "'many' is not a valid integer value");
    // The buffer is built again, not taken from the last good attach.
    EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(true); }), "'many' is not a valid integer value");
    EXPECT_FALSE(f.FDB.Connected());
    EXPECT_EQ(f.FDB.DBParams()[0], "num_buffers=many");

    f.FDB.SetDBParams({"num_buffers=300", "user_name=" + TestServer::User(), "password=" + TestServer::Password()});
    f.FDB.SetConnected(true);
    EXPECT_TRUE(f.FDB.Connected());
}

TEST(DatabaseAttach, MissingClientLibraryFailsAndAnotherNameLoadsAtTheNextAttach) {
    TForm f;
    f.FDB.SetLibraryName("libqv-no-such-client.so");
    EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(true); }), "Can't load library libqv-no-such-client.so ");
    EXPECT_FALSE(f.FDB.Connected());
    f.FDB.SetLibraryName("gds32.dll");
    f.FDB.SetConnected(true);
    EXPECT_TRUE(f.FDB.Connected());
}

TEST(DatabaseEvents, AttachAndDetachCallEventsAndListenersInOrder) {
    TForm f;
    std::vector<std::string> calls;
    f.FDB.BeforeConnect = [&](TFbBaseDatabase&, std::vector<std::string>&, bool& doConnect) {
        calls.push_back("BeforeConnect");
        doConnect = calls.size() > 1; // the first attach is called off
    };
    f.FDB.AfterConnect = [&](TComponent&) { calls.push_back("AfterConnect"); };
    f.FDB.AttachedListeners().Add([&](TComponent&) { calls.push_back("attached listener"); });
    f.FDB.BeforeDisconnect = [&](TComponent&) { calls.push_back("BeforeDisconnect"); };
    f.FDB.BeforeDetachListeners().Add([&](TComponent&) { calls.push_back("before-detach listener"); });
    f.FDB.AfterDisconnect = [&](TComponent&) { calls.push_back("AfterDisconnect"); };

    f.FDB.SetConnected(true);
    EXPECT_FALSE(f.FDB.Connected());
    f.FDB.SetConnected(true);
    f.FDB.SetConnected(false);
    EXPECT_EQ(calls, (std::vector<std::string>{"BeforeConnect", "BeforeConnect", "AfterConnect", "attached listener",
                                               "BeforeDisconnect", "before-detach listener", "AfterDisconnect"}));
}

TEST(DatabaseEvents, FailingDisconnectHandlersAreReportedWithTheConnectionsName) {
    TForm f;
    f.FDB.SetConnected(true);
    f.FDB.BeforeDisconnect = [](TComponent&) { throw Exception("boom"); };
    EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(false); }), "Error of Form1.FDB.BeforeDisconnect. boom");
    EXPECT_TRUE(f.FDB.Connected());

    f.FDB.BeforeDisconnect = nullptr;
    f.FDB.AfterDisconnect = [](TComponent&) { throw Exception("late"); };
    EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(false); }), "Error of Form1.FDB.AfterDisconnect. late");
    EXPECT_FALSE(f.FDB.Connected());
}

TEST(DatabaseDestruction, DetachesWithForceEndsTransactionsAndReleasesEveryone) {
    TComponent form(nullptr, "Form1");
    TFbTransaction TRO(&form, "TRO");
    TRO.SetTRParams({"read", "nowait", "read_committed", "rec_version"});
    TRecordingQueryLink link;
    auto FDB = std::make_unique<TFbDatabase>(&form, "FDB");
    int databases = 0;
    ForEachDatabase([&](TFbBaseDatabase& database) { databases += &database == FDB.get(); });
    EXPECT_EQ(databases, 1);

    FDB->SetDBName(TestServer::Db1());
    FDB->SetDBParams({"lc_ctype=WIN1251", "user_name=" + TestServer::User(), "password=" + TestServer::Password()});
    FDB->SetDefaultTransaction(&TRO);
    EXPECT_EQ(TRO.Databases(), (std::vector<TFbBaseDatabase*>{FDB.get()}));
    FDB->RegisterQueryLink(&link);
    FDB->SetConnected(true);
    TRO.StartTransaction();
    ASSERT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 1);
    link.notices.clear();
    // Even a handler that refuses the detach does not keep the attachment of a connection that goes away.
    FDB->BeforeDisconnect = [](TComponent&) { throw Exception("refused"); };

    FDB.reset();
    EXPECT_FALSE(TRO.Active());
    EXPECT_TRUE(TRO.Databases().empty());
    EXPECT_EQ(link.notices, (std::vector<std::string>{"detaching", "detached", "database freeing"}));
    EXPECT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 0);
    databases = 0;
    ForEachDatabase([&](TFbBaseDatabase&) { ++databases; });
    EXPECT_EQ(databases, 0);
}

TEST(ConnectParams, EditOneLineEachAndAnEmptyValueRemovesIt) {
    TComponent form(nullptr, "Form1");
    TFbDatabase FDB(&form, "FDB");
    FDB.SetDBParams({"lc_ctype=WIN1251"});
    FDB.ConnectParams().SetUserName("SYSDBA");
    FDB.ConnectParams().SetPassword("");
    EXPECT_EQ(FDB.DBParams(), (std::vector<std::string>{"lc_ctype=WIN1251", "user_name=SYSDBA"}));
    FDB.ConnectParams().SetPassword("secret");
    FDB.ConnectParams().SetCharSet("win1251");
    EXPECT_EQ(FDB.DBParams(), (std::vector<std::string>{"lc_ctype=WIN1251", "user_name=SYSDBA", "password=secret"}));
    EXPECT_EQ(FDB.ConnectParams().Password(), "secret");
    EXPECT_EQ(FDB.ConnectParams().RoleName(), "");

    // A line written with the prefix or in capitals is the same parameter; a longer name is another one.
    FDB.SetDBParams({"password_enc=x", "ISC_DPB_PASSWORD=old=value", "isc_dpb_sql_role_name=R"});
    EXPECT_EQ(FDB.ConnectParams().Password(), "old=value");
    FDB.ConnectParams().SetPassword("new");
    FDB.ConnectParams().SetRoleName("");
    FDB.ConnectParams().SetInstanceName("fb3");
    EXPECT_EQ(FDB.DBParams(), (std::vector<std::string>{"password_enc=x", "password=new", "instance_name=fb3"}));
}

TEST(DatabaseList, HoldsEveryConnectionInOrderOfCreationUntilItIsDestroyed) {
    auto first = std::make_unique<TFbDatabase>(nullptr, "first");
    TFbBaseDatabase second(nullptr, "second");
    std::vector<std::string> names;
    ForEachDatabase([&](TFbBaseDatabase& database) { names.push_back(database.Name()); });
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second"}));
    first.reset();
    names.clear();
    ForEachDatabase([&](TFbBaseDatabase& database) { names.push_back(database.Name()); });
    EXPECT_EQ(names, (std::vector<std::string>{"second"}));
}

TEST(DatabaseAttach, ReadsTheServerVersionAndTheAttachmentsCharacterSet) {
    TForm f;
    f.FDB.SetConnected(true);
    TFbAttachmentInfo info = f.FDB.AttachmentInfo();
    EXPECT_EQ(info.serverMajor, TestServer::Major());
    EXPECT_GE(info.serverBuild, 0);
    EXPECT_FALSE(info.unicode || info.untranslated || info.koi8);
    EXPECT_TRUE(info.newServer);

    f.FDB.SetConnected(false);
    f.FDB.ConnectParams().SetCharSet("utf8");
    f.FDB.SetConnected(true);
    info = f.FDB.AttachmentInfo();
    EXPECT_TRUE(info.unicode);
    EXPECT_TRUE(info.untranslated);

    info.ParseServerVersion("WI-V6.3.2.4731 Firebird 1.5");
    EXPECT_EQ(std::vector<int32_t>({info.serverMajor, info.serverMinor, info.serverRelease, info.serverBuild}),
              std::vector<int32_t>({6, 3, 2, 4731}));
    info.ParseServerVersion("LI-T4.0");
    EXPECT_EQ(info.serverMajor, -1);
    info.ParseServerVersion("LI-V2.5");
    EXPECT_EQ(std::vector<int32_t>({info.serverMajor, info.serverMinor, info.serverRelease}),
              std::vector<int32_t>({2, 5, -1}));
    info.SetCharsetFlags(std::string());
    EXPECT_TRUE(info.untranslated && !info.unicode && !info.newServer);
}

// The client counts the name and the buffer in signed 16 bits: from 32 768 bytes it crashed, from 65 536 it
// sent a cut value (a real path followed by 65 536 letters attached to the real database).
TEST(DatabaseAttach, NamesAndBuffersTheClientCannotCountAreRefusedBeforeTheCall) {
    for (const size_t lines : {170u, 340u}) { // about 34 000 and 68 000 bytes
        TForm f;
        std::vector<std::string> params = f.FDB.DBParams();
        params.insert(params.end(), lines, "lc_messages=" + std::string(196, 'm'));
        f.FDB.SetDBParams(params);
        EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(true); }),
                  "Form1.FDB: the database parameter buffer is longer than 32767 bytes");
        EXPECT_FALSE(f.FDB.Connected());
    }
    for (const size_t letters : {32768u, 65536u}) {
        TForm f(TestServer::Db1() + std::string(letters, 'x'));
        EXPECT_EQ(MessageOf([&] { f.FDB.SetConnected(true); }),
                  "Form1.FDB: the database name is longer than 32767 bytes");
        // Start's attach on a helper thread sends the same, checked the same way.
        EXPECT_EQ(MessageOf([&] { f.FDB.AttachInBackground([](std::exception_ptr) {}); }),
                  "Form1.FDB: the database name is longer than 32767 bytes");
        EXPECT_FALSE(f.FDB.Connected());
    }
}
