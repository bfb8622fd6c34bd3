// The window while the link to the server is frozen (a hung server, a black-holed link): it answers
// throughout, the log keeps one row per period, and Stop and closing the window end within 3 s.
#include "app/labeled_edit.h"
#include "app/main_window.h"
#include "app/test_cycle.h"
#include "settings/app_ini_file_storage.h"
#include "test_cycle_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// How late the window's event loop ever was: a 10 ms timer on the window's thread notes the largest gap
// beyond its interval between two of its ticks. A window that waited for the server would be seconds late;
// a shared machine (or the thread checker) now and then delays a tick by a good part of a tenth of a second.
constexpr qint64 kWorstLatenessMs = 250;
class LatenessProbe {
public:
    LatenessProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_worst = std::max(m_worst, m_sinceTick.restart() - 10); });
        m_sinceTick.start();
        m_timer.start();
    }
    qint64 WorstLateMs() const { return m_worst; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_worst = 0;
};

class FrozenLink : public TestCycleFixture {
protected:
    FrozenLink() {
        proxy.emplace();
        EnterServer(proxy->DbName(TestServer::Db1()));
        form.sePeriod()->SetValue(1);
    }
    // The real Timer1 runs the cycles here; waits for the first good row.
    void StartRunning() {
        Start();
        ASSERT_TRUE(cycle.Running());
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() >= 1; }, 5000));
        ASSERT_EQ(ErrorOfRow(0), "");
    }
    // Freezes the link between two cycles, so that the next cycle's executions hang and not the server-time
    // query that follows a good row: waits for a new row, then for the run's thread to finish that cycle.
    void FreezeBetweenCycles() {
        const int rows = log.RecordCount();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() > rows; }, 3000));
        OnWorker([](TProbeRun&) {});
        proxy->Freeze();
    }
};

// A freeze that outlasts the call limit several times over: the hung call is aborted at the limit, and the
// cycles go on while restore attempts hang in the frozen link in turn. A short limit proves what the 30 s one
// would, in a fifth of the time.
TEST_F(FrozenLink, AFreezeLongerThanTheCallLimitKeepsTheWindowLiveAndOneRowPerPeriod) {
    constexpr int kCallLimitMs = 2000;
    cycle.SetCallLimitSeconds(kCallLimitMs / 1000);
    form.seAmount()->SetValue(3);
    StartRunning();
    LatenessProbe lateness;
    ASSERT_NO_FATAL_FAILURE(FreezeBetweenCycles());
    const int before = log.RecordCount();
    // The hung call's limit and two restore attempts (5 s apart, each hanging up to the limit) fit in it.
    QTest::qWait(12000);
    proxy->Restore();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ErrorOfRow(log.RecordCount() - 1).empty(); }, 15000))
        << "the run re-attaches once the link answers again";
    Stop();
    EXPECT_LT(lateness.WorstLateMs(), kWorstLatenessMs);

    // One row of the hung call (its Value its own elapsed time), a row per period around it.
    int hung = -1;
    for (int row = before; row < log.RecordCount(); ++row)
        if (ValueOfRow(row) >= kCallLimitMs) {
            EXPECT_EQ(hung, -1) << "one hung call only";
            hung = row;
        }
    ASSERT_GE(hung, 0);
    EXPECT_EQ(ErrorOfRow(hung).rfind("Form1.qry1:\r\n", 0), 0u) << ErrorOfRow(hung);
    EXPECT_NE(ErrorOfRow(hung).find("the call was aborted"), std::string::npos) << ErrorOfRow(hung);
    EXPECT_LT(ValueOfRow(hung), kCallLimitMs + 3000) << "the limit and its grace";
    int notOpen = 0;
    for (int row = before; row < log.RecordCount(); ++row) {
        notOpen += ErrorOfRow(row) == "Form1.FDB: Cannot perform operation -- DB is not open.";
        if (row == before || row == hung)
            continue;
        const double gapMs = (TimeOfRow(row) - TimeOfRow(row - 1)) * 86400000.0;
        EXPECT_LT(gapMs, 2000) << "rows " << row - 1 << " and " << row;
    }
    // Of the 12 s, at most a period before the hung cycle and the limit with its grace are not rows of these.
    EXPECT_GE(notOpen, 7) << "the cycles went on while restore attempts waited for the frozen link";
}

TEST_F(FrozenLink, StopDuringAHungCallEndsTheRunWithinThreeSeconds) {
    StartRunning();
    ASSERT_NO_FATAL_FAILURE(FreezeBetweenCycles());
    const int before = log.RecordCount();
    // The state line tells when the next cycle's call has hung longer than a period.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form.StateLine()->toolTip().contains(": no_answer \u2014 No answer from the server for "); }, 4000))
        << form.StateLine()->toolTip().toStdString();
    EXPECT_EQ(log.RecordCount(), before);

    QElapsedTimer stopping;
    stopping.start();
    QTest::mouseClick(form.btnStop(), Qt::LeftButton);
    EXPECT_TRUE(form.btnStart()->isEnabled()) << "the buttons change at once";
    EXPECT_FALSE(form.btnStop()->isEnabled());
    OnWorker([](TProbeRun& run) {
        EXPECT_FALSE(run.Running());
        EXPECT_FALSE(run.FDB().Connected());
    });
    EXPECT_LT(stopping.elapsed(), 3000);
    QTest::qWait(500);
    EXPECT_EQ(log.RecordCount(), before)
        << "the call had not reached its limit: Stop cut it short, no failure";
}

// The user's call limit ends the hung call; the state line tells the outage from the end of the last good
// cycle, with the row's reason.
TEST_F(FrozenLink, TheUsersCallLimitEndsAHungCallAndTheStateLineTellsTheOutage) {
    cycle.SetCallLimitSeconds(2);
    StartRunning();
    ASSERT_NO_FATAL_FAILURE(FreezeBetweenCycles());
    const int before = log.RecordCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() > before; }, 8000));
    EXPECT_NE(ErrorOfRow(before).find("the call was aborted"), std::string::npos) << ErrorOfRow(before);
    EXPECT_LT(ValueOfRow(before), 5000) << "the limit and its grace";
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.StateLine()->text().startsWith("Outage since "); }, 1500))
        << form.StateLine()->text().toStdString();
    EXPECT_FALSE(form.StateLine()->text().contains("Form1.")) << form.StateLine()->text().toStdString();
    proxy->Restore();
    Stop();
}

// A window of its own with its settings in a folder that outlives it; the fixture's window is not made, as
// there is one error handler per process.
class OwnWindow {
public:
    explicit OwnWindow(const FaultProxy& proxy) : form(std::make_unique<TForm1>()) {
        form->AppIniFileStorage1()->SetLocation(flCustom);
        form->AppIniFileStorage1()->SetCustomDirectory(settings.path().toStdString());
        form->show();
        form->edDBName()->setText(QString::fromStdString(proxy.DbName(TestServer::Db1())));
        form->edUser()->setText(QString::fromStdString(TestServer::User()));
        form->edPassword()->setText(QString::fromStdString(TestServer::Password()));
        form->sePeriod()->SetValue(1);
    }
    // Closes the window as a user does and destroys it; returns how long that took.
    qint64 CloseMs() {
        QElapsedTimer closing;
        closing.start();
        form->close();
        form.reset();
        return closing.elapsed();
    }
    QByteArray SettingsFile() const {
        const QStringList files = QDir(settings.path()).entryList({"*.ini"}, QDir::Files);
        if (files.size() != 1)
            return {};
        QFile file(settings.filePath(files.front()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir settings;
    std::unique_ptr<TForm1> form;
};

// Closed at many moments of a freeze (in the cycle's call, between cycles, in the attempts that follow),
// the window always ends within 3 s and writes its settings.
TEST(FrozenLinkWindow, ClosingAtAnyMomentOfAFreezeEndsWithinThreeSecondsWithTheSettingsWritten) {
    for (const int intoTheFreezeMs : {0, 400, 1200, 2500, 3300, 6000}) {
        FaultProxy proxy;
        OwnWindow window(proxy);
        QTest::mouseClick(window.form->btnStart(), Qt::LeftButton);
        TMemTable& log = *window.form->MT();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() >= 1; }, 5000));
        proxy.Freeze();
        QTest::qWait(intoTheFreezeMs);

        EXPECT_LT(window.CloseMs(), 3000) << intoTheFreezeMs << " ms into the freeze";
        EXPECT_TRUE(
            window.SettingsFile().contains(QByteArray::fromStdString(proxy.DbName(TestServer::Db1()))))
            << window.SettingsFile().toStdString();
    }
}

TEST(FrozenLinkWindow, AnAttachIntoAFrozenServerKeepsTheWindowLiveAndClosingEndsWithinThreeSeconds) {
    FaultProxy proxy;
    proxy.Freeze();
    OwnWindow window(proxy);
    LatenessProbe lateness;
    QTest::mouseClick(window.form->btnStart(), Qt::LeftButton);
    QTest::qWait(3000);
    EXPECT_TRUE(window.form->TestCycle()->Starting());
    EXPECT_FALSE(window.form->btnStart()->isEnabled()) << "until the attach has ended";
    EXPECT_LT(lateness.WorstLateMs(), kWorstLatenessMs);

    EXPECT_LT(window.CloseMs(), 3000);
    EXPECT_FALSE(window.SettingsFile().isEmpty());
}

} // namespace
