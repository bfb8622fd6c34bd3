#include "tests/db/lost_connection_fixture.h"
#include "db/failure.h"
#include "tests/support/private_server.h"

#include <cstdlib>
#include <utility>

namespace {

TEST_F(LostConnection, ACutLinkIsForgottenLocallyAndRestoredWhenTheServerAnswersAgain) {
    m_tro.StartTransaction();
    m_proxy.Cut();

    const EFbError lost = ErrorOf([&] { m_tro.Commit(); });
    EXPECT_EQ(lost.Message().rfind("Form1.TRO:\r\n", 0), 0u) << lost.Message();
    EXPECT_EQ(TFbErrorHandler::Classify(lost.SqlErrorCode(), lost.EngineErrorCode()), keLostConnect);
    EXPECT_EQ(m_events, (std::vector<std::string>{"lost 1", "error Form1.TRO 3"}))
        << "the connection hears of the loss before the application";
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(m_tro.Active());
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());

    // While lost, every use fails at once without a server call.
    const int accepted = m_proxy.AcceptedConnections();
    const EFbError notOpen = ErrorOf([&] { m_tro.StartTransaction(); });
    EXPECT_EQ(notOpen.Message(), "Form1.FDB: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(notOpen.SqlErrorCode(), 12);

    // Attempts against the refused port fail silently and keep the timer going.
    EXPECT_TRUE(WaitUntil([&] { return Count("restore failed 3") >= 2; }, 4 * kRestorePeriod + 2000));
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(m_fdb.RestoreInProgress());
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());
    EXPECT_EQ(m_proxy.AcceptedConnections(), accepted);

    m_proxy.Restore();
    const auto restoredFrom = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 3000));
    EXPECT_LE(ElapsedMs(restoredFrom), static_cast<int>(kRestorePeriod) + 2000);
    EXPECT_EQ(Count("restored"), 1);
    EXPECT_FALSE(m_fdb.RestoreTimer()->isActive()) << "a successful attempt leaves the timer off";
    EXPECT_FALSE(m_fdb.RestoreInProgress());
    m_tro.StartTransaction();
    m_tro.Commit();
}

TEST_F(LostConnection, DisconnectOverADeadLinkRaisesNothingAndReportsTheLossTwice) {
    m_proxy.Cut();
    EXPECT_NO_THROW(m_fdb.SetConnected(false));
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_EQ(Count("lost 1"), 2) << "once from the error handler, once from the check before the detach";
    EXPECT_EQ(Count("error Form1.FDB 3"), 1);
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());
}

TEST_F(LostConnection, ASilencedLossAbortsTheCallButNotTheRestoreAttempts) {
    int attachFailures = 0;
    m_handler.OnFbErrorEvent = [&](TComponent* sender, EFbError&, TKindFbError, bool& doRaise) {
        doRaise = false;
        attachFailures += sender == &m_fdb;
    };
    m_tro.StartTransaction();
    m_proxy.Cut();
    EXPECT_THROW(m_tro.Commit(), EAbort);
    EXPECT_FALSE(m_fdb.Connected());

    // Each failed attach was silenced, so no attempt raised; still each one schedules the next, and none
    // claims success.
    EXPECT_TRUE(WaitUntil([&] { return attachFailures >= 2; }, 4 * kRestorePeriod + 2000));
    EXPECT_EQ(Count("restored"), 0);
    EXPECT_EQ(Count("restore failed 3"), 0);
    EXPECT_FALSE(m_fdb.RestoreInProgress());
    m_proxy.Restore();
    EXPECT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 3000));
    EXPECT_EQ(Count("restored"), 1);
}

TEST_F(LostConnection, EveryAttachedConnectionIsHandledWhenTheSenderIsUnknown) {
    TFbDatabase other(&m_form, "FDB2");
    other.SetDBName(m_proxy.DbName(TestServer::Db3()));
    other.SetDBParams(m_fdb.DBParams());
    other.SetConnected(true);
    TFbDatabase idle(&m_form, "FDB3");
    int idleLost = 0;
    idle.OnLostConnect = [&](TFbBaseDatabase&, EFbError&, TOnLostConnectActions&) { ++idleLost; };

    EFbError::TFields fields;
    fields.sqlErrorCode = -902;
    fields.engineErrorCode = 335544721;
    EFbServerError lost(fields);
    bool doRaise = true;
    m_handler.HandleError(nullptr, lost, doRaise);
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(other.Connected());
    EXPECT_EQ(idleLost, 0) << "a connection that is not attached is left alone";
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());
}

// A database of this test's own, shut down and brought online again by it (the tests beside it on the server
// have their own).
class ShutdownDatabase {
public:
    ShutdownDatabase()
        : m_name(TestServer::OnServer(TestServer::DbDir() + "/shutdown-" +
                                      testing::UnitTest::GetInstance()->current_test_info()->name() + ".fdb")) {
        std::filesystem::remove(TestServer::LocalPath(m_name));
        TestServer::Isql("", "create database '" + m_name + "' user '" + TestServer::User() + "' password '" +
                                 TestServer::Password() + "' default character set WIN1251;");
    }
    ~ShutdownDatabase() { Online(); }
    const std::string& Name() const { return m_name; }
    void ShutDown() {
        Gfix("-shut full -force 0");
        m_shut = true;
    }
    void Online() {
        if (std::exchange(m_shut, false))
            Gfix("-online");
    }

private:
    void Gfix(const std::string& arguments) {
        const std::string command = "gfix -user " + TestServer::User() + " -password " +
                                    TestServer::Password() + " " + arguments + " " + m_name +
                                    " >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }

    std::string m_name;
    bool m_shut = false;
};

// A maintenance shutdown ends the attachment with "connection shutdown", a lost connection: the attempts fail
// while the database is shut down, and the first one after it is online again re-attaches.
TEST_F(LostConnection, AShutDownDatabaseIsWaitedForAndReattachedOnceItIsOnlineAgain) {
    ShutdownDatabase database;
    m_fdb.SetConnected(false);
    m_fdb.SetDBName(database.Name());
    m_fdb.SetConnected(true);
    m_events.clear();
    m_tro.StartTransaction();
    database.ShutDown();

    const EFbError shutdown = ErrorOf([&] { m_tro.Commit(); });
    EXPECT_EQ(shutdown.EngineErrorCode(), 335544856) << shutdown.Message(); // connection shutdown
    EXPECT_EQ(m_events, (std::vector<std::string>{"lost 1", "error Form1.TRO 3"}));
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(m_tro.Active());
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());
    EXPECT_TRUE(WaitUntil([&] { return Count("restore failed 3") >= 1; }, kRestorePeriod + 3000));
    EXPECT_FALSE(m_fdb.Connected());

    database.Online();
    EXPECT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 5000));
    EXPECT_EQ(Count("restored"), 1);
}

// Between cycles the cursor of the last execution is open at its end; the client defers its close, so the
// close's answer to a shutdown used to be lost and the execution after it said the cursor was still open.
TEST_F(LostConnection, AShutdownBetweenExecutionsIsReportedAsTheServerSaysIt) {
    ShutdownDatabase database;
    m_fdb.SetConnected(false);
    m_fdb.SetDBName(database.Name());
    m_fdb.SetConnected(true);
    m_qry1.SetSQL({"select count(*) from rdb$relations"});
    m_qry1.ExecQuery();
    m_qry1.FetchNext();
    ASSERT_TRUE(m_qry1.EndOfCursor());
    m_events.clear();
    database.ShutDown();

    const EFbError shutdown = ErrorOf([&] { m_qry1.ExecQuery(); });
    EXPECT_EQ(shutdown.EngineErrorCode(), 335544856) << shutdown.Message(); // connection shutdown
    EXPECT_EQ(shutdown.Message().rfind("Form1.qry1:\r\n", 0), 0u) << shutdown.Message();
    ASSERT_FALSE(m_events.empty());
    EXPECT_EQ(Count("lost 1"), 1);
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive()) << "the database comes back online";
}

TEST_F(LostConnection, AKilledServerIsReattachedOnceItIsBack) {
    PrivateServer server;
    m_fdb.SetConnected(false);
    m_fdb.SetDBName(server.DbName());
    m_fdb.ConnectParams().SetCharSet(""); // the private server has no character-set module
    m_fdb.SetConnected(true);
    m_events.clear();
    m_tro.StartTransaction();
    server.Kill();

    const EFbError lost = ErrorOf([&] { m_tro.Commit(); });
    EXPECT_EQ(lost.Message().rfind("Form1.TRO:\r\n", 0), 0u) << lost.Message();
    EXPECT_EQ(m_events, (std::vector<std::string>{"lost 1", "error Form1.TRO 3"}));
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_TRUE(WaitUntil([&] { return Count("restore failed 3") >= 1; }, kRestorePeriod + 3000));

    server.Restart();
    EXPECT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 5000));
    EXPECT_EQ(Count("restored"), 1);
    m_tro.StartTransaction();
    m_tro.Commit();
}

TEST_F(LostConnection, AFrozenCallIsAbortedAtItsLimitAndItsGraceAndSaysSo) {
    m_fdb.SetCallTimeout(2000);
    m_tro.StartTransaction();
    m_proxy.Freeze();

    // The request to cancel at the limit travels into the frozen link and stays unanswered; the abort a
    // grace later breaks the call.
    const auto started = Clock::now();
    const EFbError lost = ErrorOf([&] { m_tro.Commit(); });
    EXPECT_GE(ElapsedMs(started), 4000);
    EXPECT_LT(ElapsedMs(started), 5500);
    EXPECT_EQ(TFbErrorHandler::Classify(lost.SqlErrorCode(), lost.EngineErrorCode()), keLostConnect);
    EXPECT_EQ(lost.ExtraText(),
              "No answer from the server for 4 s, beyond the call limit of 2 s; the call was aborted.\r\n");
    const std::string& message = lost.Message();
    EXPECT_EQ(message.rfind("Form1.TRO:\r\n", 0), 0u) << message;
    EXPECT_EQ(message.substr(message.size() - lost.ExtraText().size()), lost.ExtraText()) << message;
    EXPECT_FALSE(m_fdb.Connected());

    // A restore attempt into the frozen link gives up within the limit too instead of the client's minutes.
    const int failed = Count("restore failed 3");
    const auto attemptFrom = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return Count("restore failed 3") > failed; }, kRestorePeriod + 6000));
    EXPECT_LT(ElapsedMs(attemptFrom), static_cast<int>(kRestorePeriod) + 4500);

    m_proxy.Restore();
    EXPECT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 5000));
    m_tro.StartTransaction();
    m_tro.Commit();
}

TEST_F(LostConnection, TheDetachCheckOverAFrozenLinkEndsWithinTheLimit) {
    m_fdb.SetCallTimeout(1000);
    m_proxy.Freeze();
    const auto started = Clock::now();
    EXPECT_NO_THROW(m_fdb.SetConnected(false));
    EXPECT_LT(ElapsedMs(started), 4500);
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_EQ(Count("lost 1"), 2);
}

TEST_F(LostConnection, CallsWithoutALimitStartNoWatchdogThread) {
    m_fdb.SetCallTimeout(0); // the tester's own limit put aside
    const int before = SettledThreadCount();
    m_tro.StartTransaction();
    m_tro.Commit();
    EXPECT_EQ(SettledThreadCount(), before);

    m_fdb.SetCallTimeout(1000);
    m_tro.StartTransaction();
    m_tro.Commit();
    EXPECT_EQ(SettledThreadCount(), before + 1);
    m_fdb.SetCallTimeout(0);
    m_tro.StartTransaction();
    m_tro.Commit();
    EXPECT_EQ(SettledThreadCount(), before);
}

} // namespace

// Every way a cycle or an attach fails is understood by its codes, with the engine's most specific line as
// its reason, never the SQLCODE sentence: a failing statement and a user exception, a cut link, a frozen one,
// an attachment deleted by an administrator, a database shut down, a refused login, a missing database.
TEST_F(LostConnection, EveryFailureHasItsCauseAndItsMostSpecificLine) {
    const auto failureOf = [&](const std::function<void()>& step) {
        try {
            step();
        } catch (const Exception& error) {
            return FailureOf(error);
        }
        ADD_FAILURE() << "no error";
        return TFailure{};
    };
    const auto expect = [](const TFailure& failure, TFailureCause cause, const std::string& reasonStart) {
        EXPECT_STREQ(CauseName(failure.cause), CauseName(cause)) << failure.reason;
        EXPECT_EQ(failure.reason.substr(0, reasonStart.size()), reasonStart) << CauseName(cause);
    };
    const auto reattached = [&] { return WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 5000); };

    m_qry1.SetSQL({"select no_such_column from rdb$database"});
    expect(failureOf([&] { m_qry1.ExecQuery(); }), TFailureCause::Statement, "Column unknown.");
    m_qry1.SetSQL({"select 1 from rdb$database"});
    m_qry1.ExecQuery();

    m_proxy.Cut();
    expect(failureOf([&] { m_qry1.ExecQuery(); }), TFailureCause::Network, "Error ");
    expect(failureOf([&] { m_qry1.ExecQuery(); }), TFailureCause::Client, "Cannot perform operation -- DB is not open.");
    m_proxy.Restore();
    ASSERT_TRUE(reattached());

    m_fdb.SetCallTimeout(1000);
    m_qry1.ExecQuery();
    m_proxy.Freeze();
    expect(failureOf([&] { m_qry1.ExecQuery(); }), TFailureCause::NoAnswer,
           "No answer from the server for 3 s, beyond the call limit of 1 s; the call was aborted.");
    m_proxy.Restore();
    ASSERT_TRUE(reattached());
    m_fdb.SetCallTimeout(0);

    ShutdownDatabase database;
    TestServer::Isql(database.Name(), "create exception e_probe 'The probe''s own exception';");
    m_fdb.SetConnected(false);
    m_fdb.SetDBName(database.Name());
    m_fdb.SetConnected(true);
    m_qry1.SetSQL({"execute block as begin exception e_probe; end"});
    expect(failureOf([&] { m_qry1.ExecQuery(); }), TFailureCause::Statement, "The probe's own exception");
    m_qry1.SetSQL({"select 1 from rdb$database"});
    m_tro.Rollback();

    TestServer::Isql(database.Name(), "delete from mon$attachments where mon$attachment_id <> current_connection;");
    // Firebird 4 says why after "Connection shutdown", in a code the 3.0 client cannot name: our text.
    const bool firebird4 = TestServer::Major() >= 4;
    const TFailure deleted = failureOf([&] { m_qry1.ExecQuery(); });
    EXPECT_EQ(deleted.cause, TFailureCause::Shutdown) << deleted.reason;
    EXPECT_EQ(deleted.reason, firebird4 ? "Killed by database administrator." : "Connection shutdown.");
    ASSERT_TRUE(reattached());
    m_qry1.ExecQuery();
    database.ShutDown();
    const TFailure shutdown = failureOf([&] { m_tro.Commit(); });
    EXPECT_EQ(shutdown.cause, TFailureCause::Shutdown) << shutdown.reason;
    EXPECT_EQ(shutdown.reason, firebird4 ? "Database is shutdown." : "Connection shutdown.");
    database.Online();

    TFbDatabase other(&m_form, "other");
    other.SetLibraryName(Recorder().LibraryName());
    other.SetDBName(TestServer::Db1());
    other.ConnectParams().SetUserName(TestServer::User());
    other.ConnectParams().SetPassword("wrong" + TestServer::Password());
    expect(failureOf([&] { other.SetConnected(true); }), TFailureCause::Login, "Your user name and password");
    other.SetDBName(TestServer::OnServer(TestServer::DbDir() + "/no_such.fdb"));
    other.ConnectParams().SetPassword(TestServer::Password());
    expect(failureOf([&] { other.SetConnected(true); }), TFailureCause::Database, "I/O error");
}
