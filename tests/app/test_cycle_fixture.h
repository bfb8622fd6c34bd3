#pragma once

// The window against the real server, with the run's own state looked at on its thread, for the tests of
// the test cycle.
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "app/labeled_edit.h"
#include "app/test_cycle.h"
#include "core/date_time.h"
#include "log/mem_table.h"
#include "modal_watcher.h"
#include "probe/probe.h"
#include "probe/probe_run.h"
#include "quiet_form.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/test_server.h"

#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

inline constexpr double OneSecond = 1.0 / 86400;
// Long enough that Timer1 never ticks by itself in a test that drives the cycles.
inline constexpr int QuietPeriod = 600;

class TestCycleFixture : public testing::Test {
protected:
    // Made by the outage test; declared first so that it outlives the window's connection.
    std::optional<FaultProxy> proxy;
    QuietForm form;
    TTestCycle& cycle = *form.TestCycle();
    TMemTable& log = *form.MT();
    ModalWatcher watcher;

    TestCycleFixture() {
        form.show();
        EnterServer(TestServer::Db1());
        form.sePeriod()->SetValue(QuietPeriod);
    }

    void EnterServer(const std::string& database) {
        form.edDBName()->setText(QString::fromStdString(database));
        form.edUser()->setText(QString::fromStdString(TestServer::User()));
        form.edPassword()->setText(QString::fromStdString(TestServer::Password()));
    }
    void SetSql(const QString& sql) { form.mSQL()->setPlainText(sql); }
    // The events a user's click produces, then one idle moment for the enabling rule.
    void Click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        // A real event loop, which goes idle (QTest::qWait only polls and never does).
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
    }
    // Start, and wait until the run has told how its attach ended.
    void Start() {
        Click(form.btnStart());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !cycle.Starting(); }, 10000));
    }
    // Stop, and wait until the run has committed and detached.
    void Stop() {
        Click(form.btnStop());
        OnWorker([](TProbeRun&) {});
    }
    // Looks at the run on its own thread.
    template <typename Look>
    void OnWorker(Look look) {
        form.Probe()->Inspect([&](TProbeRun& run) { look(run); });
    }
    bool Connected() {
        bool connected = false;
        OnWorker([&](TProbeRun& run) { connected = run.FDB().Connected(); });
        return connected;
    }
    // A tick of Timer1 on the run's thread; returns once its row has reached the log.
    void Tick() {
        const int rows = log.RecordCount();
        OnWorker([](TProbeRun& run) { run.Timer1Timer(); });
        EXPECT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() > rows; }, 5000));
    }
    std::string ErrorOfRow(int row) const {
        return log.RowValue(row, 2).index() == 3 ? std::get<std::string>(log.RowValue(row, 2))
                                                 : std::string();
    }
    int32_t ValueOfRow(int row) const { return std::get<int32_t>(log.RowValue(row, 1)); }
    TDateTime TimeOfRow(int row) const { return std::get<TDateTime>(log.RowValue(row, 0)); }

    // A generator counts the executions of a statement that reads it.
    static std::string MakeCounter(const std::string& name) {
        TestServer::Isql(TestServer::Db1(), "recreate sequence " + name + "; commit;");
        return name;
    }
    static int CounterValue(const std::string& name) {
        const std::string out =
            TestServer::Isql(TestServer::Db1(), "select 'N=' || gen_id(" + name + ", 0) from rdb$database;");
        const auto at = out.find("N=");
        return at == std::string::npos ? -1 : std::stoi(out.substr(at + 2));
    }
};

