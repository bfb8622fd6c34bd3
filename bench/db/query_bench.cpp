// Per-execution cost of the tester's repeated "select 1 from rdb$database" against the loopback test server:
// our ExecQuery series, the floor of the same three raw client calls (close, execute, fetch) on one prepared
// statement in a transaction with TRO's parameters and with concurrency isolation, and Qt's QIBASE driver as a
// reference. Needs the test server; run it through tools/bench-query, which starts it and sets QV_TEST_*.

#include "db/fb_database.h"
#include "db/query.h"
#include "db/tester_setup.h"
#include "db/transaction.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <ibase.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>

namespace {

constexpr int kSeries = 10000;
const char* const kStatement = "select 1 from rdb$database";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        throw std::runtime_error(std::string(name) + " is not set: start the test server first");
    return value;
}

// The client functions the floor calls, looked up directly in the library.
struct TRawClient {
    TRawClient() {
        void* module = dlopen("libfbclient.so.2", RTLD_NOW);
        if (module == nullptr)
            throw std::runtime_error("libfbclient.so.2 not found");
        attach = reinterpret_cast<decltype(attach)>(dlsym(module, "isc_attach_database"));
        detach = reinterpret_cast<decltype(detach)>(dlsym(module, "isc_detach_database"));
        start = reinterpret_cast<decltype(start)>(dlsym(module, "isc_start_transaction"));
        commit = reinterpret_cast<decltype(commit)>(dlsym(module, "isc_commit_transaction"));
        alloc = reinterpret_cast<decltype(alloc)>(dlsym(module, "isc_dsql_alloc_statement2"));
        prepare = reinterpret_cast<decltype(prepare)>(dlsym(module, "isc_dsql_prepare"));
        execute = reinterpret_cast<decltype(execute)>(dlsym(module, "isc_dsql_execute"));
        fetch = reinterpret_cast<decltype(fetch)>(dlsym(module, "isc_dsql_fetch"));
        freeStatement = reinterpret_cast<decltype(freeStatement)>(dlsym(module, "isc_dsql_free_statement"));
    }
    decltype(&::isc_attach_database) attach;
    decltype(&::isc_detach_database) detach;
    decltype(&::isc_start_transaction) start;
    decltype(&::isc_commit_transaction) commit;
    decltype(&::isc_dsql_alloc_statement2) alloc;
    decltype(&::isc_dsql_prepare) prepare;
    decltype(&::isc_dsql_execute) execute;
    decltype(&::isc_dsql_fetch) fetch;
    decltype(&::isc_dsql_free_statement) freeStatement;
};

void Check(ISC_STATUS result, const char* what) {
    if (result > 0)
        throw std::runtime_error(std::string(what) + " failed");
}

void RawFloor(benchmark::State& state, std::string tpb) {
    static TRawClient client;
    ISC_STATUS status[20] = {};
    std::string dpb = {isc_dpb_version1};
    for (auto [item, value] : {std::pair{isc_dpb_user_name, Env("QV_TEST_USER")},
                               {isc_dpb_password, Env("QV_TEST_PASSWORD")}, {isc_dpb_lc_ctype, std::string("WIN1251")}}) {
        dpb += static_cast<char>(item);
        dpb += static_cast<char>(value.size());
        dpb += value;
    }
    const std::string dbName = Env("QV_TEST_DB1");
    isc_db_handle db = 0;
    Check(client.attach(status, 0, dbName.c_str(), &db, static_cast<short>(dpb.size()), dpb.data()), "attach");
    isc_tr_handle tr = 0;
    Check(client.start(status, &tr, 1, &db, static_cast<unsigned short>(tpb.size()), tpb.data()), "start");
    isc_stmt_handle stmt = 0;
    Check(client.alloc(status, &db, &stmt), "alloc");
    alignas(XSQLDA) char daMemory[XSQLDA_LENGTH(1)] = {};
    auto* da = reinterpret_cast<XSQLDA*>(daMemory);
    da->version = SQLDA_VERSION1;
    da->sqln = 1;
    Check(client.prepare(status, &tr, &stmt, 0, kStatement, 1, da), "prepare");
    int32_t value = 0;
    short indicator = 0;
    da->sqlvar[0].sqldata = reinterpret_cast<char*>(&value);
    da->sqlvar[0].sqlind = &indicator;
    bool open = false;
    for (auto _ : state) {
        if (open)
            Check(client.freeStatement(status, &stmt, DSQL_close), "close");
        Check(client.execute(status, &tr, &stmt, 1, nullptr), "execute");
        open = true;
        Check(client.fetch(status, &stmt, 1, da), "fetch");
    }
    client.freeStatement(status, &stmt, DSQL_drop);
    client.commit(status, &tr);
    client.detach(status, &db);
}

void BM_RawFloorTroParameters(benchmark::State& state) {
    RawFloor(state, {isc_tpb_version3, isc_tpb_read, isc_tpb_nowait, isc_tpb_read_committed, isc_tpb_rec_version});
}

void BM_RawFloorConcurrency(benchmark::State& state) {
    RawFloor(state, {isc_tpb_version3, isc_tpb_write, isc_tpb_wait, isc_tpb_concurrency});
}

void BM_ExecQuerySeries(benchmark::State& state) {
    TComponent form(nullptr, "Form1");
    TFbDatabase fdb(&form, "FDB");
    TFbTransaction tro(&form, "TRO");
    TFbQuery qry1(&form, "qry1");
    SetUpTesterComponents(fdb, tro, qry1);
    fdb.SetDBName(Env("QV_TEST_DB1"));
    fdb.ConnectParams().SetUserName(Env("QV_TEST_USER"));
    fdb.ConnectParams().SetPassword(Env("QV_TEST_PASSWORD"));
    fdb.SetConnected(true);
    qry1.SetSQL({kStatement});
    for (auto _ : state)
        qry1.ExecQuery();
    tro.Commit();
    fdb.SetConnected(false);
}

void BM_QtIbaseDriver(benchmark::State& state) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QIBASE", "bench");
        db.setDatabaseName(QString::fromStdString(Env("QV_TEST_DB1")));
        db.setUserName(QString::fromStdString(Env("QV_TEST_USER")));
        db.setPassword(QString::fromStdString(Env("QV_TEST_PASSWORD")));
        if (!db.open())
            throw std::runtime_error("QIBASE: " + db.lastError().text().toStdString());
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(kStatement);
        for (auto _ : state) {
            query.exec();
            benchmark::DoNotOptimize(query.next());
        }
    }
    QSqlDatabase::removeDatabase("bench");
}

// Keeps the median of each benchmark for the ratios printed at the end.
class TMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
                cpuMedians[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
    std::map<std::string, double> cpuMedians;
};

void PrintRatios(std::map<std::string, double>& medians, const char* kind) {
    const double ours = medians["BM_ExecQuerySeries"];
    const double floor = medians["BM_RawFloorTroParameters"];
    const double concurrency = medians["BM_RawFloorConcurrency"];
    const double qt = medians["BM_QtIbaseDriver"];
    std::printf("\n%s median per execution (us): ExecQuery %.2f, raw TRO %.2f, raw concurrency %.2f, QIBASE %.2f\n",
                kind, ours, floor, concurrency, qt);
    if (floor <= 0 || concurrency <= 0 || ours <= 0)
        return;
    std::printf("  ExecQuery / raw TRO floor:        %.3f\n", ours / floor);
    std::printf("  raw concurrency / raw TRO floor:  %.3f\n", concurrency / floor);
    std::printf("  QIBASE / raw concurrency floor:   %.3f\n", qt / concurrency);
    std::printf("  QIBASE / ExecQuery:               %.3f\n", qt / ours);
}

} // namespace

#define QV_SERIES(bench) BENCHMARK(bench)->Iterations(kSeries)->Repetitions(9)->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond)
QV_SERIES(BM_RawFloorTroParameters);
QV_SERIES(BM_ExecQuerySeries);
QV_SERIES(BM_RawFloorConcurrency);
QV_SERIES(BM_QtIbaseDriver);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter.medians, "wall-clock");
    PrintRatios(reporter.cpuMedians, "client CPU");
    benchmark::Shutdown();
    return 0;
}
