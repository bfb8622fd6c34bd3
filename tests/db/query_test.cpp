#include "db/query.h"
#include "db/tester_setup.h"

#include "core/exceptions.h"
#include "db/errors.h"
#include "db/fb_database.h"
#include "db/transaction.h"
#include "db/xsqlda.h"
#include "tests/support/recording_client_library.h"
#include "tests/support/test_server.h"

#include <cmath>
#include <cstring>
#include <ibase.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using Calls = std::vector<std::string>;

// Notes how statements are freed and which texts are prepared, beside the call names.
class TStatementRecorder : public TRecordingClientLibrary {
public:
    TStatementRecorder() : TRecordingClientLibrary(AcquireClientLibrary("libfbclient.so.2"), "recorded-fbclient") {}

    ISC_STATUS isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short option) override {
        freeOptions.push_back(option);
        const ISC_STATUS result = TRecordingClientLibrary::isc_dsql_free_statement(status, stmt, option);
        return option == DSQL_close ? Inject(status, failNextClose) : result;
    }
    ISC_STATUS isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short version,
                              const XSQLDA* outDa) override {
        const ISC_STATUS result = TRecordingClientLibrary::isc_dsql_fetch(status, stmt, version, outDa);
        return failNextFetch != 0 ? Inject(status, failNextFetch) : result;
    }
    // The next close or fetch reports this error code (after the real call succeeded).
    ISC_STATUS failNextClose = 0;
    ISC_STATUS failNextFetch = 0;
    ISC_STATUS isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short length,
                                const ISC_SCHAR* sql, unsigned short dialect, XSQLDA* outDa) override {
        preparedTexts.push_back(sql);
        return TRecordingClientLibrary::isc_dsql_prepare(status, tr, stmt, length, sql, dialect, outDa);
    }

    std::vector<unsigned short> freeOptions;
    std::vector<std::string> preparedTexts;

private:
    static ISC_STATUS Inject(ISC_STATUS* status, ISC_STATUS& code) {
        if (code == 0)
            return status[1];
        status[0] = isc_arg_gds;
        status[1] = code;
        status[2] = isc_arg_end;
        code = 0;
        return status[1];
    }
};

TStatementRecorder& Recorder() {
    static std::shared_ptr<TStatementRecorder> recorder = [] {
        auto created = std::make_shared<TStatementRecorder>();
        RegisterClientLibrary(created);
        return created;
    }();
    return *recorder;
}

// The window's three components as the tester sets them up, on the recorded binding.
class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        fdb.SetLibraryName(Recorder().LibraryName());
        SetUpTesterComponents(fdb, tro, qry1);
        fdb.SetDBName(TestServer::Db1());
        fdb.ConnectParams().SetUserName(TestServer::User());
        fdb.ConnectParams().SetPassword(TestServer::Password());
    }

    void Attach() {
        fdb.SetConnected(true);
        Recorder().ClearCalls();
        Recorder().freeOptions.clear();
        Recorder().preparedTexts.clear();
    }

    Calls Executed() {
        Recorder().ClearCalls();
        qry1.ExecQuery();
        return Recorder().Calls();
    }

    // A name no earlier run has used, for objects the test creates.
    static std::string UniqueName(const char* prefix) {
        return prefix + std::to_string(getpid()) + "_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    }

    TComponent form{nullptr, "Form1"};
    TFbDatabase fdb{&form, "FDB"};
    TFbTransaction tro{&form, "TRO"};
    TFbQuery qry1{&form, "qry1"};
};

template <typename Error>
Error Caught(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error;
    } catch (const Exception& other) {
        ADD_FAILURE() << "other error: " << other.Message();
        throw;
    }
    ADD_FAILURE() << "nothing raised";
    throw std::runtime_error("nothing raised");
}

TEST_F(QueryTest, RepeatedSelectCostsCloseExecuteFetchAfterTheFirstCall) {
    Attach();
    qry1.SetSQL({"select 1 from rdb$database"});
    EXPECT_EQ(qry1.ProcessedSQL(), "select 1 from rdb$database\r\n");
    EXPECT_EQ(Executed(), (Calls{"isc_start_multiple", "isc_dsql_alloc_statement2", "isc_dsql_prepare",
                                 "isc_dsql_sql_info", "isc_dsql_execute", "isc_dsql_fetch"}));
    EXPECT_EQ(qry1.StatementType(), SQLSelect);
    EXPECT_TRUE(qry1.IsOpen());
    EXPECT_EQ(qry1.FetchedRows(), 1);
    for (int call = 0; call < 3; ++call) {
        Recorder().freeOptions.clear();
        EXPECT_EQ(Executed(), (Calls{"isc_dsql_free_statement", "isc_dsql_execute", "isc_dsql_fetch"}));
        EXPECT_EQ(Recorder().freeOptions, (std::vector<unsigned short>{DSQL_close}));
        EXPECT_EQ(qry1.FetchedRows(), 1);
        EXPECT_FALSE(qry1.EndOfCursor());
    }
    EXPECT_TRUE(tro.Active());
    EXPECT_EQ(Caught<EFbClientError>([&] { qry1.ColumnAsDateTime(0); }).Message(), "Invalid data conversion.");
    EXPECT_EQ(Caught<EFbClientError>([&] { qry1.ColumnAsDateTime(1); }).Message(), "Field \"Field No: 1\" not found.");
}

TEST_F(QueryTest, CloseAndFetchFailuresLeaveTheCursorClosedAndIgnoreTheHarmlessCodes) {
    Attach();
    qry1.SetSQL({"select 1 from rdb$database"});
    qry1.ExecQuery();
    for (ISC_STATUS harmless : {335544485, 335544577}) {
        Recorder().failNextClose = harmless;
        qry1.Close();
        EXPECT_FALSE(qry1.IsOpen());
        qry1.ExecQuery();
    }
    Recorder().failNextClose = 335544569;
    const EFbServerError error = Caught<EFbServerError>([&] { qry1.Close(); });
    EXPECT_EQ(error.EngineErrorCode(), 335544569);
    EXPECT_FALSE(qry1.IsOpen()) << "closed even when the close failed";
    EXPECT_TRUE(qry1.IsPrepared());

    qry1.SetGoToFirstRecordOnExecute(false);
    qry1.ExecQuery();
    Recorder().failNextFetch = 335544572;
    qry1.FetchNext();
    EXPECT_TRUE(qry1.EndOfCursor()) << "an invalid cursor reference counts as the end";
    EXPECT_TRUE(qry1.IsOpen());

    qry1.ExecQuery();
    Recorder().failNextFetch = 335544569;
    EXPECT_EQ(Caught<EFbServerError>([&] { qry1.FetchNext(); }).EngineErrorCode(), 335544569);
    EXPECT_FALSE(qry1.IsOpen()) << "a failed fetch closes the cursor";
}

TEST_F(QueryTest, SelectForUpdateGetsATenDigitCursorName) {
    Attach();
    qry1.SetSQL({"select 1 from rdb$database for update"});
    const Calls calls = Executed();
    EXPECT_EQ(qry1.StatementType(), SQLSelectForUpdate);
    ASSERT_EQ(qry1.CursorName().size(), 10u);
    EXPECT_EQ(qry1.CursorName().find_first_not_of("0123456789"), std::string::npos);
    EXPECT_NE(std::find(calls.begin(), calls.end(), "isc_dsql_set_cursor_name"), calls.end());
    EXPECT_EQ(qry1.FetchedRows(), 1);
}

TEST_F(QueryTest, SelectWithoutRowsLeavesAnOpenCursorAtItsEnd) {
    Attach();
    qry1.SetSQL({"select 1 from rdb$database where 1 = 0"});
    qry1.ExecQuery();
    EXPECT_TRUE(qry1.IsOpen());
    EXPECT_TRUE(qry1.EndOfCursor());
    EXPECT_EQ(qry1.FetchedRows(), 0);
    Recorder().ClearCalls();
    qry1.FetchNext();
    EXPECT_TRUE(Recorder().Calls().empty()) << "nothing is fetched past the end";
    qry1.Close();
    EXPECT_EQ(Caught<EFbClientError>([&] { qry1.FetchNext(); }).Message(),
              "Can't fetch next record because Form1.qry1 dataset closed.");
}

// The tester never reads the values, so a column of a type it does not know must not fail the statement.
TEST_F(QueryTest, ColumnsOfTypesTheLayerDoesNotKnowAreFetchedAndNeverInterpreted) {
    Attach();
    qry1.SetSQL({"select true, cast(null as boolean), 1, false from rdb$database"});
    qry1.ExecQuery();
    qry1.ExecQuery();
    EXPECT_EQ(qry1.FetchedRows(), 1);
    EXPECT_EQ(Caught<EFbClientError>([&] { qry1.ColumnAsDateTime(0); }).SqlErrorCode(), 33);
}

TEST_F(QueryTest, EmptyTextFailsAfterTheTransactionStarted) {
    Attach();
    for (const std::vector<std::string>& lines : {std::vector<std::string>{}, {"  ", ""}}) {
        qry1.SetSQL(lines);
        const EFbClientError error = Caught<EFbClientError>([&] { qry1.ExecQuery(); });
        EXPECT_EQ(error.Message(), "Can't Prepare , because  query is empty");
        EXPECT_EQ(error.SqlErrorCode(), 37);
        EXPECT_TRUE(tro.Active());
    }
}

TEST_F(QueryTest, SyntaxErrorFreesTheStatementAndAllocatesAgainAtEveryCall) {
    Attach();
    qry1.SetSQL({"selec 1 from rdb$database"});
    for (int call = 0; call < 2; ++call) {
        Recorder().ClearCalls();
        const EFbServerError error = Caught<EFbServerError>([&] { qry1.ExecQuery(); });
        EXPECT_EQ(error.SenderName(), "Form1.qry1");
        EXPECT_EQ(error.SqlErrorCode(), -104);
        const Calls& calls = Recorder().Calls();
        const auto allocated = std::find(calls.begin(), calls.end(), "isc_dsql_alloc_statement2");
        ASSERT_NE(allocated, calls.end()) << "allocated again";
        ASSERT_NE(allocated + 1, calls.end());
        EXPECT_EQ(*(allocated + 1), "isc_dsql_prepare");
        EXPECT_EQ(calls.front(), call == 0 ? "isc_start_multiple" : "isc_dsql_alloc_statement2");
        EXPECT_EQ(calls.back(), "isc_dsql_free_statement");
        EXPECT_EQ(qry1.StatementHandle(), 0u);
        EXPECT_FALSE(qry1.IsPrepared());
    }
}

TEST_F(QueryTest, CommitTextCommitsTheTransactionComponent) {
    Attach();
    qry1.SetSQL({"commit"});
    qry1.ExecQuery();
    EXPECT_EQ(qry1.StatementType(), SQLCommit);
    EXPECT_FALSE(tro.Active());
    const Calls second = Executed();
    EXPECT_EQ(second, (Calls{"isc_start_multiple", "isc_commit_transaction"}));
    EXPECT_FALSE(tro.Active());
}

TEST_F(QueryTest, DdlRunsImmediatelyWithoutPrepareAndFailsOnTheServerTheSecondTime) {
    tro.SetTRParams({"write", "nowait", "read_committed", "rec_version"});
    Attach();
    const std::string table = UniqueName("QV_DDL_");
    qry1.SetSQL({"create table " + table + " (a integer)"});
    const Calls first = Executed();
    EXPECT_EQ(first, (Calls{"isc_start_multiple", "isc_dsql_execute_immediate"}));
    tro.Commit();
    const EFbServerError error = Caught<EFbServerError>([&] { qry1.ExecQuery(); });
    EXPECT_EQ(error.SenderName(), "Form1.qry1");
    EXPECT_NE(error.Message().find(table), std::string::npos) << error.Message();
    EXPECT_EQ(qry1.StatementHandle(), 0u);
}

TEST_F(QueryTest, RefusedStatementTypesAreNotPermitted) {
    Attach();
    qry1.SetSQL({"set transaction"});
    for (int call = 0; call < 2; ++call) {
        const EFbClientError error = Caught<EFbClientError>([&] { qry1.ExecQuery(); });
        EXPECT_EQ(error.Message(), "Not permitted.");
        EXPECT_EQ(qry1.StatementHandle(), 0u);
        EXPECT_FALSE(qry1.IsPrepared());
    }
}

TEST_F(QueryTest, NewTextIsRefusedWhileTheCursorIsOpenAndAcceptedAfterTheCommit) {
    Attach();
    qry1.SetSQL({"select 1 from rdb$database"});
    qry1.ExecQuery();
    const EFbClientError error = Caught<EFbClientError>([&] { qry1.SetSQL({"select 2 from rdb$database"}); });
    EXPECT_EQ(error.Message(), "Can't change sql text because Form1.qry1 dataset open.");
    EXPECT_EQ(qry1.SQL(), (std::vector<std::string>{"select 1 from rdb$database"}));
    tro.Commit();
    EXPECT_FALSE(qry1.IsOpen()) << "a hard commit closes the cursor";
    qry1.SetSQL({"select 2 from rdb$database"});
    EXPECT_FALSE(qry1.IsPrepared());
    EXPECT_EQ(qry1.StatementHandle(), 0u);
}

TEST_F(QueryTest, TextStartingWithAHyphenThatIsNoCommentReachesTheServer) {
    Attach();
    qry1.SetSQL({"-x create table t (a integer)"});
    Caught<EFbServerError>([&] { qry1.ExecQuery(); });
    EXPECT_EQ(Recorder().preparedTexts, (std::vector<std::string>{"-x create table t (a integer)\r\n"}));
}

TEST_F(QueryTest, ExecutionWhileDetachedFailsInTheTransactionStart) {
    qry1.SetSQL({"select 1 from rdb$database"});
    const EFbClientError error = Caught<EFbClientError>([&] { qry1.ExecQuery(); });
    EXPECT_EQ(error.Message(), "Form1.FDB: Cannot perform operation -- DB is not open.");
    EXPECT_EQ(error.SqlErrorCode(), 12);
}

TEST_F(QueryTest, MissingComponentsAndInactiveTransactionAreClientErrors) {
    TFbQuery lone(&form, "qry2");
    lone.SetSQL({"select 1 from rdb$database"});
    EXPECT_EQ(Caught<EFbClientError>([&] { lone.Prepare(); }).Message(), "Database not assigned for Form1.qry2.");
    EXPECT_EQ(Caught<EFbClientError>([&] { lone.ExecQuery(); }).Message(), "Transaction not assigned for Form1.qry2.");
    Attach();
    qry1.SetOptions({});
    qry1.SetSQL({"select 1 from rdb$database"});
    EXPECT_EQ(Caught<EFbClientError>([&] { qry1.Prepare(); }).Message(), "Form1.TRO :Transaction is not active.");
}

TEST_F(QueryTest, ProcedureCallsAndDataChangesRunWithNullParameters) {
    tro.SetTRParams({"write", "nowait", "read_committed", "rec_version"});
    Attach();
    const std::string table = UniqueName("QV_T_");
    const std::string procedure = UniqueName("QV_P_");
    qry1.SetSQL({"create table " + table + " (a integer)"});
    qry1.ExecQuery();
    qry1.SetSQL({"create procedure " + procedure + " (a integer) returns (b integer) as", "begin",
                 "  b = coalesce(:a, -1) + 1;", "end"});
    qry1.ExecQuery();
    tro.Commit();

    qry1.SetSQL({"execute procedure " + procedure + " 41"});
    EXPECT_EQ(Executed(), (Calls{"isc_start_multiple", "isc_dsql_alloc_statement2", "isc_dsql_prepare",
                                 "isc_dsql_sql_info", "isc_dsql_execute2"}));
    EXPECT_EQ(qry1.StatementType(), SQLExecProcedure);
    EXPECT_FALSE(qry1.IsOpen());
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(qry1.OutputDescriptor()[0].Data()), 42);

    qry1.SetSQL({"execute procedure " + procedure + " :a"});
    EXPECT_EQ(qry1.ParameterNames(), (std::vector<std::string>{"a"}));
    qry1.ExecQuery();
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(qry1.OutputDescriptor()[0].Data()), 0) << "the parameter was NULL";

    qry1.SetSQL({"insert into " + table + " values (7)"});
    qry1.ExecQuery();
    EXPECT_EQ(qry1.StatementType(), SQLInsert);
    EXPECT_EQ(qry1.OutputDescriptor().AsXSQLDA(), nullptr);
    qry1.SetSQL({"update " + table + " set a = a + 1"});
    qry1.ExecQuery();
    EXPECT_EQ(qry1.StatementType(), SQLUpdate);
    qry1.SetSQL({"select a from " + table});
    qry1.ExecQuery();
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(qry1.OutputDescriptor()[0].Data()), 8);
    tro.Commit();
}

TEST_F(QueryTest, ExecuteErrorHandlerCanRetryOrAbort) {
    Attach();
    qry1.SetSQL({"selec 1"});
    int calls = 0;
    qry1.OnExecuteError = [&](TFbQuery& query, EFbError& error, TDataAction& action) {
        EXPECT_EQ(&query, &qry1);
        EXPECT_EQ(error.SqlErrorCode(), -104);
        EXPECT_EQ(action, daFail);
        if (++calls == 1) {
            query.SetSQL({"select 1 from rdb$database"});
            action = daRetry;
        }
    };
    qry1.ExecQuery();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(qry1.FetchedRows(), 1);

    qry1.OnExecuteError = [](TFbQuery&, EFbError&, TDataAction& action) { action = daAbort; };
    tro.Commit();
    qry1.SetSQL({"selec 1"});
    EXPECT_THROW(qry1.ExecQuery(), EAbort);
}

// Firebird 4's newer types come as the legacy ones the attach asks for, with their values, in dialect 3 too;
// the zoned ones in the session's zone (the 4.0 test server's is Asia/Tokyo, +09:00 all year).
TEST_F(QueryTest, Firebird4sNewerTypesComeAsTheirLegacyTypesWithTheirValues) {
    if (TestServer::Major() < 4)
        GTEST_SKIP() << "Firebird 3 has none of these types";
    fdb.SetDBName(TestServer::Db3());
    fdb.SetSQLDialect(3);
    Attach();
    qry1.SetSQL({"select cast('2026-01-02 03:04:05 +05:00' as timestamp with time zone), "
                 "cast('10:00 +02:00' as time with time zone), cast(9 as int128), cast(1.5 as decfloat(16)), "
                 "cast(-2.5 as decfloat(34)), cast(12345678901234.5678 as numeric(38, 4)), "
                 "cast(2 as numeric(38, 0)) * 3, current_timestamp from rdb$database"});
    qry1.ExecQuery();
    const TFbXSQLDA& row = qry1.OutputDescriptor();
    std::vector<int> types;
    for (int i = 0; i < row.Count(); ++i)
        types.push_back(row[i].SqlType());
    EXPECT_EQ(types, (std::vector<int>{SQL_TIMESTAMP, SQL_TYPE_TIME, SQL_INT64, SQL_DOUBLE, SQL_DOUBLE, SQL_INT64,
                                       SQL_INT64, SQL_TIMESTAMP}));
    EXPECT_EQ(qry1.ColumnAsDateTime(0), EncodeDateTime({2026, 1, 2}, {7, 4, 5, 0}));
    const auto value = [&row]<typename T>(int index, T) {
        T read{};
        std::memcpy(&read, row[index].Data(), sizeof read);
        return read;
    };
    EXPECT_EQ(value(2, int64_t{}), 9);
    EXPECT_EQ(value(4, double{}), -2.5);
    EXPECT_EQ(value(5, int64_t{}), 123456789012345678);
    EXPECT_EQ(value(6, int64_t{}), 6);
}

// The clock query runs at attach, on the recorded binding.
class ServerTimeTest : public QueryTest {
protected:
    void AttachRecordingTexts() {
        Recorder().preparedTexts.clear();
        fdb.SetConnected(true);
    }
    static constexpr double kOneSecond = 1.0 / 86400;
    // Firebird 4 tells its UTC time, whatever its session's zone; Firebird 3 its local time, in the dialect's type.
    static std::vector<std::string> ClockQuery(const char* dialectType) {
        if (TestServer::Major() >= 4)
            return {"SELECT DATEADD(-(EXTRACT(TIMEZONE_HOUR FROM CURRENT_TIMESTAMP) * 60 + "
                    "EXTRACT(TIMEZONE_MINUTE FROM CURRENT_TIMESTAMP)) MINUTE TO LOCALTIMESTAMP) from RDB$DATABASE\r\n"};
        return {std::string("SELECT CAST('NOW' AS ") + dialectType + ") from RDB$DATABASE\r\n"};
    }
};

TEST_F(ServerTimeTest, DialectOneAsksForDateAndMeasuresAboutZeroOnThisMachine) {
    // The 4.0 test server keeps another zone than ours (tools/test-server4), which must not count as skew.
    if (TestServer::Major() >= 4) {
        EXPECT_NE(TestServer::Isql(TestServer::Db1(), "select rdb$get_context('SYSTEM', 'SESSION_TIMEZONE') "
                                                       "from rdb$database;")
                      .find("Asia/Tokyo"),
                  std::string::npos);
    }
    fdb.SetClockDifference(0.5);
    AttachRecordingTexts();
    EXPECT_EQ(Recorder().preparedTexts, ClockQuery("DATE"));
    EXPECT_LT(std::abs(fdb.ClockDifference()), kOneSecond) << fdb.ClockDifference();
    EXPECT_FALSE(fdb.InternalTransaction().Active()) << "committed after the query";

    const TDateTime before = Now();
    const TDateTime serverTime = fdb.QueryServerTime();
    EXPECT_LT(std::abs(serverTime - before), kOneSecond);
}

TEST_F(ServerTimeTest, DialectThreeAsksForTimestampUnlessTheDatabaseLowersIt) {
    fdb.SetDBName(TestServer::Db3());
    fdb.SetSQLDialect(3);
    AttachRecordingTexts();
    EXPECT_EQ(Recorder().preparedTexts, ClockQuery("TIMESTAMP"));
    EXPECT_LT(std::abs(fdb.ClockDifference()), kOneSecond);
    fdb.SetConnected(false);

    fdb.SetDBName(TestServer::Db1());
    fdb.SetSQLDialect(3);
    AttachRecordingTexts();
    EXPECT_EQ(fdb.SQLDialect(), 1);
    EXPECT_EQ(Recorder().preparedTexts, ClockQuery("DATE"));
}

TEST_F(ServerTimeTest, WithoutSynchronizeTimeTheDifferenceStaysZero) {
    fdb.SetSynchronizeTime(false);
    fdb.SetClockDifference(0.25);
    AttachRecordingTexts();
    EXPECT_EQ(fdb.ClockDifference(), 0);
    EXPECT_TRUE(Recorder().preparedTexts.empty());
}

} // namespace
