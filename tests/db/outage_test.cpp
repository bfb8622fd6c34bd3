// The tester's own series of executions through outages: what the failing execution raises, what the
// executions during the outage raise, and the first execution after the connection is back.
#include "tests/db/lost_connection_fixture.h"

#include <thread>

namespace {

using Calls = std::vector<std::string>;

bool Called(const Calls& calls, const std::string& name) {
    return std::find(calls.begin(), calls.end(), name) != calls.end();
}

class Outage : public LostConnection {
protected:
    Calls Executed() {
        Recorder().ClearCalls();
        m_qry1.ExecQuery();
        return Recorder().Calls();
    }
};

TEST_F(Outage, ACutDuringASeriesIsLoggedOnceThenNotOpenUntilTheConnectionIsBack) {
    for (int i = 0; i < 3; ++i)
        m_qry1.ExecQuery();
    EXPECT_TRUE(m_qry1.IsPrepared());
    m_proxy.Cut();

    const EFbError lost = ErrorOf([&] { m_qry1.ExecQuery(); });
    EXPECT_EQ(lost.Message().rfind("Form1.qry1:\r\n", 0), 0u) << lost.Message();
    EXPECT_EQ(lost.SenderName(), "Form1.qry1");
    EXPECT_EQ(TFbErrorHandler::Classify(lost.SqlErrorCode(), lost.EngineErrorCode()), keLostConnect);
    EXPECT_EQ(m_events, (Calls{"lost 1", "error Form1.qry1 3"}));
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(m_tro.Active());
    EXPECT_FALSE(m_qry1.IsPrepared());
    EXPECT_EQ(m_qry1.StatementHandle(), 0u);
    EXPECT_FALSE(m_qry1.IsOpen());

    // Every execution while lost fails at once, without a client call.
    for (int i = 0; i < 3; ++i) {
        Recorder().ClearCalls();
        const EFbError notOpen = ErrorOf([&] { m_qry1.ExecQuery(); });
        EXPECT_EQ(notOpen.Message(), "Form1.FDB: Cannot perform operation -- DB is not open.");
        EXPECT_EQ(Recorder().Calls(), Calls{});
    }

    m_proxy.Restore();
    const auto restoredFrom = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 3000));
    EXPECT_LE(ElapsedMs(restoredFrom), static_cast<int>(kRestorePeriod) + 2000);

    // The first execution after the restore starts a new transaction and prepares again.
    const Calls calls = Executed();
    EXPECT_TRUE(Called(calls, "isc_start_multiple"));
    EXPECT_TRUE(Called(calls, "isc_dsql_alloc_statement2"));
    EXPECT_TRUE(Called(calls, "isc_dsql_prepare"));
    EXPECT_TRUE(Called(calls, "isc_dsql_fetch"));
    EXPECT_TRUE(m_tro.Active());
    EXPECT_EQ(m_qry1.FetchedRows(), 1);
    const Calls next = Executed();
    EXPECT_FALSE(Called(next, "isc_dsql_prepare")) << "prepared once per attachment";
}

TEST_F(Outage, StopOverADeadLinkFailsAtTheCommitAndTheLossIsHandled) {
    m_qry1.ExecQuery();
    m_proxy.Cut();
    // Stop: commit the transaction (which closes the cursor first), then detach.
    const EFbError lost = ErrorOf([&] { m_tro.Commit(); });
    EXPECT_EQ(TFbErrorHandler::Classify(lost.SqlErrorCode(), lost.EngineErrorCode()), keLostConnect);
    const bool senderIsTheCursorOrTheCommit =
        lost.SenderName() == "Form1.qry1" || lost.SenderName() == "Form1.TRO";
    EXPECT_TRUE(senderIsTheCursorOrTheCommit) << lost.SenderName();
    EXPECT_EQ(Count("lost 1"), 1);
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_FALSE(m_tro.Active());
    EXPECT_TRUE(m_fdb.RestoreTimer()->isActive());
    EXPECT_NO_THROW(m_fdb.SetConnected(false)) << "nothing attached any more";
}

TEST_F(Outage, AFrozenExecutionReturnsAtTheLimitAndItsGraceAndTheRunCarriesOn) {
    m_fdb.SetCallTimeout(2000);
    m_qry1.ExecQuery();
    m_proxy.Freeze();

    const auto started = Clock::now();
    const EFbError lost = ErrorOf([&] { m_qry1.ExecQuery(); });
    EXPECT_LT(ElapsedMs(started), 5500);
    EXPECT_EQ(lost.Message().rfind("Form1.qry1:\r\n", 0), 0u) << lost.Message();
    EXPECT_NE(
        lost.Message().find(
            "\r\nNo answer from the server for 4 s, beyond the call limit of 2 s; the call was aborted.\r\n"),
        std::string::npos)
        << lost.Message();
    EXPECT_FALSE(m_fdb.Connected());

    m_proxy.Restore();
    ASSERT_TRUE(WaitUntil([&] { return m_fdb.Connected(); }, kRestorePeriod + 5000));
    m_qry1.ExecQuery();
    EXPECT_EQ(m_qry1.FetchedRows(), 1);
}

TEST_F(Outage, AFrozenServerTimeQueryReturnsAtTheLimit) {
    m_fdb.SetCallTimeout(1000);
    m_qry1.ExecQuery();
    m_fdb.QueryServerTime();
    m_proxy.Freeze();
    const auto started = Clock::now();
    const EFbError lost = ErrorOf([&] { m_fdb.QueryServerTime(); });
    EXPECT_LT(ElapsedMs(started), 4500);
    EXPECT_NE(
        lost.Message().find(
            "No answer from the server for 3 s, beyond the call limit of 1 s; the call was aborted.\r\n"),
        std::string::npos)
        << lost.Message();
    EXPECT_FALSE(m_fdb.Connected());
    EXPECT_EQ(Count("lost 1"), 1);
}

// A statement that outlives the limit on a live server is stopped by the server itself: an ordinary failure,
// the attachment stays and the next execution runs on it.
TEST_F(Outage, ALongStatementOnALiveServerIsCancelledWithTheServersOwnError) {
    m_fdb.SetCallTimeout(1000);
    m_qry1.ExecQuery();
    const int connections = m_proxy.AcceptedConnections();
    m_qry1.Close();
    m_qry1.SetSQL({"execute block returns (n integer) as", "declare i integer = 0;", "begin",
                   "  while (i < 2000000000) do i = i + 1;", "  n = i;", "  suspend;", "end"});
    const auto started = Clock::now();
    const EFbError cancelled = ErrorOf([&] { m_qry1.ExecQuery(); });
    EXPECT_GE(ElapsedMs(started), 1000);
    EXPECT_LT(ElapsedMs(started), 2500) << "cancelled by the server, not aborted a grace later";
    EXPECT_EQ(cancelled.EngineErrorCode(), 335544794) << cancelled.Message(); // operation was cancelled
    EXPECT_EQ(cancelled.Message().rfind("Form1.qry1:\r\n", 0), 0u) << cancelled.Message();
    EXPECT_EQ(cancelled.ExtraText(), "");
    EXPECT_TRUE(m_fdb.Connected());
    EXPECT_EQ(m_events, (Calls{"error Form1.qry1 7"}));

    m_qry1.Close();
    m_qry1.SetSQL({"select 1 from rdb$database"});
    m_qry1.ExecQuery();
    EXPECT_EQ(m_qry1.FetchedRows(), 1);
    EXPECT_EQ(m_proxy.AcceptedConnections(), connections) << "no re-attach";
}

// Stop (or the end of the run) from another thread: a call blocked in a frozen link ends within 2 s instead
// of at its 30 s limit.
TEST_F(Outage, AHurryFromAnotherThreadEndsABlockedCallWithinTwoSeconds) {
    m_fdb.SetCallTimeout(30000);
    m_qry1.ExecQuery();
    m_proxy.Freeze();
    std::thread stop([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_fdb.HurryCalls(true);
    });
    const auto started = Clock::now();
    const EFbError lost = ErrorOf([&] { m_qry1.ExecQuery(); });
    stop.join();
    EXPECT_LT(ElapsedMs(started), 300 + 2200);
    EXPECT_EQ(TFbErrorHandler::Classify(lost.SqlErrorCode(), lost.EngineErrorCode()), keLostConnect);
    EXPECT_FALSE(m_fdb.Connected());
    m_fdb.HurryCalls(false);
}

TEST_F(Outage, CallsThatFinishInTimeAreNeverAborted) {
    m_fdb.SetCallTimeout(1000);
    for (int i = 0; i < 10000; ++i)
        m_qry1.ExecQuery();
    EXPECT_TRUE(m_fdb.Connected());
    EXPECT_EQ(m_events, Calls{});
    EXPECT_EQ(m_fdb.TakeLastCallEnd().cancel, TFbCallCancel::None);
}

} // namespace
