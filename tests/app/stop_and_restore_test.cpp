// What the user's own Stop and Start do to the record: no false failed row, no long wait, no attachment left
// behind, no restore attempt that outlives its run; against the real server and the fault proxy.
#include "db/tester_setup.h"
#include "test_cycle_fixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

// An execute block that loops about 300 ms on the server and returns one row.
const QString SlowStatement =
    "execute block returns (n integer) as declare t timestamp; begin t = cast('now' as timestamp); n = 0; "
    "while (datediff(millisecond from t to cast('now' as timestamp)) < 300) do n = n + 1; suspend; end";

class StopAndRestore : public TestCycleFixture {
protected:
    // Stop as the user presses it; returns how long until the run has handled it.
    qint64 StopMs() {
        QElapsedTimer stopping;
        stopping.start();
        Click(form.btnStop());
        OnWorker([](TProbeRun&) {});
        return stopping.elapsed();
    }
    int FailedRows() const {
        int failed = 0;
        for (int row = 0; row < log.RecordCount(); ++row)
            failed += !ErrorOfRow(row).empty();
        return failed;
    }
    // A lost connection through the proxy, then a restore attempt whose attach hangs in the frozen link.
    void LoseTheLinkWithAnAttemptInFlight() {
        proxy.emplace();
        EnterServer(proxy->DbName(TestServer::Db1()));
        Start();
        Tick();
        proxy->Cut();
        Tick();
        proxy->Freeze();
        bool inFlight = false;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                OnWorker([&](TProbeRun& run) { inFlight = run.FDB().RestoreInProgress(); });
                return inFlight;
            },
            kRestoreConnectPeriodMs + 3000));
    }
};

TEST_F(StopAndRestore, StopAtAnyMomentOfASlowCycleLeavesNoFailedRowAndALongCycleEndsAtOnce) {
    SetSql(SlowStatement);
    form.seAmount()->SetValue(3);
    form.sePeriod()->SetValue(1);
    for (int attempt = 0; attempt < 8; ++attempt) {
        Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() >= 1; }, 5000));
        QTest::qWait(100 + attempt * 110); // somewhere in the next cycle's three executions
        EXPECT_LT(StopMs(), 3000);
        EXPECT_EQ(FailedRows(), 0) << "attempt " << attempt << ": " << ErrorOfRow(log.RecordCount() - 1);
        EXPECT_TRUE(watcher.Boxes().empty());
        EXPECT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 0) << "attempt " << attempt;
    }

    // A hundred executions take thirty seconds; Stop ends the cycle at its next execution, without a row.
    form.seAmount()->SetValue(100);
    Start();
    QTest::qWait(1500);
    EXPECT_LT(StopMs(), 3000);
    EXPECT_EQ(log.RecordCount(), 0);
    EXPECT_FALSE(Connected());

    // The rare moment, made certain: Stop's hurried cancel reaches the commit (a commit trigger of a database
    // of its own loops while the statement asked for it) and fails it.
    const std::string slowCommit = TestServer::Database("slow-commit.fdb");
    TestServer::Isql(slowCommit,
                     "set term ^ ;\n"
                     "create or alter trigger slow_commit on transaction commit as declare t timestamp; begin "
                     "if (rdb$get_context('USER_TRANSACTION', 'slow_commit') is not null) then begin "
                     "t = cast('now' as timestamp); "
                     "while (datediff(millisecond from t to cast('now' as timestamp)) < 1500) do t = t; end end^\n"
                     "set term ; ^\ncommit;");
    EnterServer(slowCommit);
    SetSql("select rdb$set_context('USER_TRANSACTION', 'slow_commit', 1) from rdb$database");
    form.seAmount()->SetValue(1);
    form.sePeriod()->SetValue(QuietPeriod);
    Start();
    Tick();
    ASSERT_EQ(ErrorOfRow(log.RecordCount() - 1), "");
    EXPECT_LT(StopMs(), 3000);
    QTest::qWait(200); // an error of the run would reach the window by now
    EXPECT_TRUE(watcher.Boxes().empty()) << watcher.Boxes().front().text.toStdString();
    EXPECT_FALSE(Connected());
    EXPECT_EQ(TestServer::OwnAttachments(slowCommit), 0) << "the failed commit left its attachment behind";
}

TEST_F(StopAndRestore, StartIntoAFrozenLinkCanBeStoppedAndGivesUpByItself) {
    proxy.emplace();
    EnterServer(proxy->DbName(TestServer::Db1()));
    proxy->Freeze();
    Click(form.btnStart());
    EXPECT_TRUE(cycle.Starting());
    EXPECT_TRUE(form.btnStop()->isEnabled()) << "Stop ends a pending attach";
    QTest::qWait(500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.StateLine()->toolTip().startsWith("Attaching to "); }, 2000))
        << form.StateLine()->toolTip().toStdString();
    EXPECT_LT(StopMs(), 3000);
    EXPECT_FALSE(cycle.Starting());
    EXPECT_TRUE(form.btnStart()->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.StateLine()->toolTip() == "Stopped"; }, 2000))
        << form.StateLine()->toolTip().toStdString();
    proxy->Restore();
    // The abandoned attach gets its answer now, and detaches again: its link closes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return proxy->OpenConnections() == 0; }, 5000));
    EXPECT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 0);
    EXPECT_FALSE(Connected());

    // With a short call limit the attach gives up by itself, as a call would, with the error box.
    cycle.SetCallLimitSeconds(2);
    proxy->Freeze();
    QElapsedTimer starting;
    starting.start();
    Click(form.btnStart());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !cycle.Starting(); }, 10000));
    EXPECT_LT(starting.elapsed(), 6000);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_NE(watcher.Boxes().front().text.indexOf("Form1.FDB"), -1)
        << watcher.Boxes().front().text.toStdString();
    // Nothing answered: the box says so, with the real wait, not that the server refused.
    EXPECT_NE(watcher.Boxes().front().text.indexOf("; the attach was given up."), -1)
        << watcher.Boxes().front().text.toStdString();
    EXPECT_FALSE(cycle.Running());
    proxy->Restore();
}

// Stop ends the waiting for a restore and abandons an attempt in flight; Start attaches afresh to what the
// entries name, whatever that attempt does later.
TEST_F(StopAndRestore, AnAttemptInFlightNeverOutlivesItsRunWhetherItFailsOrSucceedsLater) {
    ASSERT_NO_FATAL_FAILURE(LoseTheLinkWithAnAttemptInFlight());
    StopMs();
    OnWorker([](TProbeRun& run) {
        EXPECT_FALSE(run.FDB().RestoreTimer()->isActive());
        EXPECT_FALSE(run.FDB().RestoreInProgress());
    });
    // Another database: the late success of the old attempt is dropped and detached.
    EnterServer(TestServer::Db3());
    Start();
    proxy->Restore();
    // The late success of the old attempt is detached again: its link closes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return proxy->OpenConnections() == 0; }, 5000));
    Tick();
    EXPECT_EQ(ErrorOfRow(log.RecordCount() - 1), "");
    OnWorker([](TProbeRun& run) { EXPECT_EQ(run.FDB().DBName(), TestServer::Db3()); });
    EXPECT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 0);
    StopMs();
    QTest::qWait(kRestoreConnectPeriodMs + 1000);
    EXPECT_FALSE(Connected()) << "a stopped run re-attaches to nothing";

    // The same database: the old attempt fails later and leaves the new run's connection alone.
    proxy.reset();
    ASSERT_NO_FATAL_FAILURE(LoseTheLinkWithAnAttemptInFlight());
    StopMs();
    EnterServer(TestServer::Db1());
    Start();
    proxy->Cut();
    QTest::qWait(1000);
    Tick();
    EXPECT_EQ(ErrorOfRow(log.RecordCount() - 1), "");
    EXPECT_TRUE(Connected());
    EXPECT_EQ(TestServer::OwnAttachments(TestServer::Db1()), 1);
    EXPECT_TRUE(watcher.Boxes().empty());
    StopMs();
}

} // namespace
