// Transactions against the real server: start, the four ways of ending, their checks and notices.
#include "core/exceptions.h"
#include "db/errors.h"
#include "db/fb_database.h"
#include "db/transaction.h"
#include "tests/db/error_capture.h"
#include "tests/db/recording_query_link.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/recording_client_library.h"
#include "tests/support/test_server.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

// FDB and TRO wired as the main window wires them.
struct TForm {
    TComponent form{nullptr, "Form1"};
    TFbDatabase FDB{&form, "FDB"};
    TFbTransaction TRO{&form, "TRO"};

    explicit TForm(const std::string& dbName = TestServer::Db1()) {
        FDB.SetDBName(dbName);
        FDB.SetDBParams({"lc_ctype=WIN1251", "user_name=" + TestServer::User(), "password=" + TestServer::Password()});
        FDB.SetDefaultTransaction(&TRO);
        TRO.SetDefaultDatabase(&FDB);
        TRO.SetTRParams({"read", "nowait", "read_committed", "rec_version"});
        TRO.SetTPBMode(tpbDefault);
    }
};

bool Called(const TRecordingClientLibrary& library, const std::string& name) {
    const std::vector<std::string> calls = library.Calls();
    return std::find(calls.begin(), calls.end(), name) != calls.end();
}

} // namespace

TEST(Transaction, StartsAndEndsAndTheRetainingEndsKeepTheHandle) {
    TForm f;
    f.FDB.SetConnected(true);
    EXPECT_EQ(f.FDB.Transactions(), (std::vector<TFbBaseTransaction*>{&f.FDB.InternalTransaction(), &f.TRO}));

    f.TRO.StartTransaction();
    ASSERT_TRUE(f.TRO.Active());
    const isc_tr_handle handle = f.TRO.Handle();
    f.TRO.StartTransaction(); // already running: nothing happens
    EXPECT_EQ(f.TRO.Handle(), handle);
    f.TRO.CommitRetaining();
    f.TRO.RollbackRetaining();
    EXPECT_EQ(f.TRO.Handle(), handle);
    EXPECT_EQ(f.TRO.State(), tsActive);
    f.TRO.Commit();
    EXPECT_FALSE(f.TRO.Active());
    EXPECT_EQ(f.TRO.State(), tsInactive);

    f.TRO.SetActive(true);
    EXPECT_TRUE(f.TRO.Active());
    f.TRO.SetActive(false);
    EXPECT_FALSE(f.TRO.Active());

    // The internal transaction starts with its own parameters, as a plain transaction.
    TFbBaseTransaction& internal = f.FDB.InternalTransaction();
    internal.StartTransaction();
    EXPECT_EQ(ClientErrorOf([&] { internal.StartTransaction(); }),
              std::make_pair(16, std::string("Form1.FDB :Transaction is active.")));
    internal.Rollback();
    EXPECT_FALSE(internal.Active());
}

TEST(Transaction, SpansTwoConnectionsAndNeedsBothAttached) {
    TForm f;
    TFbDatabase second(&f.form, "FDB3");
    second.SetDBName(TestServer::Db3());
    second.SetDBParams(f.FDB.DBParams());
    f.TRO.AddDatabase(&second);
    f.FDB.SetConnected(true);
    EXPECT_EQ(ClientErrorOf([&] { f.TRO.StartTransaction(); }),
              std::make_pair(12, std::string("Form1.FDB3: Cannot perform operation -- DB is not open.")));
    second.SetConnected(true);
    f.TRO.StartTransaction();
    EXPECT_TRUE(f.TRO.Active());
    second.SetConnected(false); // ends the transaction on both
    EXPECT_FALSE(f.TRO.Active());
    EXPECT_TRUE(f.FDB.Connected());
}

TEST(Transaction, ChecksRaiseTheirClientErrorsWithTheFullName) {
    TForm f;
    EXPECT_EQ(ClientErrorOf([&] { f.TRO.Commit(); }),
              std::make_pair(15, std::string("Form1.TRO :Transaction is not active.")));
    EXPECT_EQ(ClientErrorOf([&] { f.TRO.StartTransaction(); }),
              std::make_pair(12, std::string("Form1.FDB: Cannot perform operation -- DB is not open.")));

    f.FDB.SetConnected(true);
    f.TRO.SetTRParams({"read", "verb_time"});
    EXPECT_EQ(ClientErrorOf([&] { f.TRO.StartTransaction(); }),
              std::make_pair(10, std::string("TPB Constant (isc_tpb_verb_time) is unsupported.")));
    EXPECT_FALSE(f.TRO.Active());

    TFbTransaction alone(&f.form, "TR2");
    EXPECT_EQ(ClientErrorOf([&] { alone.StartTransaction(); }),
              std::make_pair(18, std::string("Form1.TR2 :No databases are listed in transaction component.")));

    TFbDatabase other(&f.form, "FDB2");
    other.SetLibraryName("libfbclient.so.2");
    try {
        f.TRO.AddDatabase(&other);
        FAIL() << "a second client library was accepted";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Form1.TRO.\r\nTransaction can't work with different client library.");
    }
    EXPECT_EQ(f.TRO.Databases(), (std::vector<TFbBaseDatabase*>{&f.FDB}));
}

TEST(Transaction, ModesReplaceTheParametersAtEveryStart) {
    TForm f;
    f.FDB.SetConnected(true);
    f.TRO.SetTPBMode(tpbRepeatableRead);
    f.TRO.StartTransaction();
    EXPECT_EQ(f.TRO.TRParams(), (std::vector<std::string>{"write", "isc_tpb_nowait", "concurrency"}));
    f.TRO.Commit();
    f.TRO.SetTPBMode(tpbReadCommitted);
    f.TRO.SetTRParams({"read"});
    f.TRO.StartTransaction();
    EXPECT_EQ(f.TRO.TRParams(), (std::vector<std::string>{"write", "isc_tpb_nowait", "read_committed", "rec_version"}));
}

TEST(Transaction, StartAndEndCallEventsListenersAndLinksInOrder) {
    TForm f;
    std::vector<std::string> calls;
    auto note = [&](const char* what) { return [&calls, what](TComponent&) { calls.push_back(what); }; };
    auto noteEnd = [&](const char* what) {
        return [&calls, what](TFbBaseTransaction&, TTransactionAction action, bool force) {
            calls.push_back(std::string(what) + " " + std::to_string(action) + (force ? " forced" : ""));
        };
    };
    f.FDB.BeforeStartTransaction = note("db before start");
    f.TRO.BeforeStart = note("BeforeStart");
    f.TRO.BeforeStartListeners().Add(note("before-start 1"));
    f.TRO.BeforeStartListeners().Add(note("before-start 2"));
    f.TRO.AfterStartListeners().Add(note("after-start"));
    f.TRO.AfterStart = note("AfterStart");
    f.FDB.AfterStartTransaction = note("db after start");
    f.FDB.BeforeEndTransaction = noteEnd("db before end");
    f.TRO.BeforeEnd = noteEnd("BeforeEnd");
    f.TRO.BeforeEndListeners().Add(noteEnd("before-end"));
    f.TRO.AfterEndListeners().Add(noteEnd("after-end"));
    f.TRO.AfterEnd = noteEnd("AfterEnd");
    f.FDB.AfterEndTransaction = noteEnd("db after end");
    TRecordingQueryLink link;
    f.TRO.RegisterQueryLink(&link);

    f.FDB.SetConnected(true);
    f.TRO.StartTransaction();
    f.TRO.CommitRetaining();
    f.TRO.Rollback();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "db before start", "BeforeStart", "before-start 2", "before-start 1", "after-start",
                         "AfterStart", "db after start",
                         "db before end 3", "BeforeEnd 3", "before-end 3", "after-end 3", "AfterEnd 3", "db after end 3",
                         "db before end 0", "BeforeEnd 0", "before-end 0", "after-end 0", "AfterEnd 0", "db after end 0"}));
    EXPECT_EQ(link.notices, (std::vector<std::string>{"starting", "started", "ending 3", "ended 3", "ending 0", "ended 0"}));
    f.TRO.UnregisterQueryLink(&link);
}

TEST(Transaction, DetachEndsAnActiveTransactionWithItsTimeoutActionForced) {
    TForm f;
    std::vector<std::string> ends;
    f.TRO.AfterEnd = [&](TFbBaseTransaction&, TTransactionAction action, bool force) {
        ends.push_back(std::to_string(action) + (force ? " forced" : ""));
    };
    for (TTransactionAction action : {TACommit, TACommitRetaining, TARollbackRetaining, TARollback}) {
        f.TRO.SetTimeoutAction(action);
        f.FDB.SetConnected(true);
        f.TRO.StartTransaction();
        f.FDB.SetConnected(false);
        EXPECT_FALSE(f.TRO.Active()) << "timeout action " << action;
    }
    // Retaining actions would leave a transaction on a closed attachment, so they end like the plain ones.
    EXPECT_EQ(ends, (std::vector<std::string>{"2 forced", "2 forced", "0 forced", "0 forced"}));
}

TEST(Transaction, FailedEndRaisesAndKeepsTheHandleUnlessForced) {
    FaultProxy proxy;
    TForm f(proxy.DbName(TestServer::Db1()));
    f.FDB.SetConnected(true);
    f.TRO.StartTransaction();
    proxy.Cut();

    try {
        f.TRO.Commit();
        FAIL() << "a commit over a cut link succeeded";
    } catch (const EFbServerError& error) {
        EXPECT_EQ(error.Sender(), &f.TRO);
        EXPECT_EQ(error.Message().rfind("Form1.TRO:\r\n", 0), 0u) << error.Message();
    }
    EXPECT_TRUE(f.TRO.Active());
    EXPECT_EQ(f.TRO.State(), tsDoCommit);

    EXPECT_NO_THROW(f.TRO.EndTransaction(TACommit, true));
    EXPECT_FALSE(f.TRO.Active());
    EXPECT_EQ(f.TRO.Handle(), 0u);
    EXPECT_EQ(f.TRO.State(), tsInactive);
    EXPECT_NO_THROW(f.FDB.SetConnected(false));
    EXPECT_FALSE(f.FDB.Connected());
}

TEST(Transaction, LostTransactionEndsWithoutAServerCallOnlyWhenForcedOrAsItsTimeoutAction) {
    TForm f;
    auto recording = std::make_shared<TRecordingClientLibrary>(AcquireClientLibrary("gds32.dll"));
    f.FDB.UseClientLibrary(recording);
    f.FDB.SetConnected(true);
    f.TRO.StartTransaction();
    f.TRO.SetLost();
    recording->ClearCalls();

    EXPECT_EQ(ClientErrorOf([&] { f.TRO.Commit(); }).first, 58);
    EXPECT_TRUE(f.TRO.Active());
    f.TRO.EndTransaction(TACommit, true);
    EXPECT_FALSE(f.TRO.Active());
    EXPECT_FALSE(f.TRO.Lost());

    f.TRO.StartTransaction();
    f.TRO.SetLost();
    f.TRO.Rollback(); // the timeout action needs no force
    EXPECT_FALSE(f.TRO.Active());
    EXPECT_FALSE(Called(*recording, "isc_commit_transaction"));
    EXPECT_FALSE(Called(*recording, "isc_rollback_transaction"));
    EXPECT_TRUE(Called(*recording, "isc_start_multiple"));
}

TEST(Transaction, IdleTimeoutsEndTheTransactionAndThenDetachTheConnection) {
    TForm f;
    f.FDB.SetConnected(true);
    // Each time-out with how long after the last use it came: never before a whole idle interval (a coarse
    // timer may fire up to 5 % early).
    QElapsedTimer sinceUse;
    std::vector<std::string> timeouts;
    const auto heard = [&](TComponent& sender) {
        EXPECT_GE(sinceUse.elapsed(), 38) << sender.Name();
        timeouts.push_back(sender.Name());
    };
    f.TRO.OnTimeout = heard;
    f.FDB.OnTimeout = heard;
    f.TRO.SetTimeoutAction(TACommit);
    f.TRO.SetTimeout(40);
    sinceUse.start();
    f.TRO.StartTransaction();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.TRO.Active(); }, 2000));
    EXPECT_TRUE(f.FDB.Connected());

    sinceUse.start();
    f.FDB.SetTimeout(40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.FDB.Connected(); }, 2000));
    EXPECT_EQ(timeouts, (std::vector<std::string>{"TRO", "FDB"}));
}

TEST(Transaction, DestroyedWhileActiveItEndsAndReleasesItsLinksAndConnection) {
    TForm f;
    f.FDB.SetConnected(true);
    TRecordingQueryLink link;
    {
        TFbTransaction TR2(&f.form, "TR2");
        TR2.SetTimeoutAction(TACommitRetaining);
        TR2.SetDefaultDatabase(&f.FDB);
        TR2.RegisterQueryLink(&link);
        TR2.StartTransaction();
        EXPECT_EQ(f.FDB.Transactions().size(), 3u);
    }
    EXPECT_EQ(link.notices, (std::vector<std::string>{"starting", "started", "ending 2", "ended 2", "transaction freeing"}));
    EXPECT_EQ(f.FDB.Transactions().size(), 2u);
}
