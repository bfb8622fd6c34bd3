// The test cycle against the real server: Start, cycles, failures, Stop, Save and an outage through the
// fault proxy. The run lives on its own thread; most cycles are driven by calling its tick handler there, so
// a test takes seconds, not periods, and rows are waited for as they arrive on the window's thread.
#include "metrics/metrics_server.h"
#include "metrics/probe_metrics.h"
#include "app/action.h"
#include "app/escaped_errors.h"
#include "app/labeled_edit.h"
#include "app/link_label.h"
#include "app/main_window.h"
#include "app/save_dialog.h"
#include "app/spin_edit.h"
#include "app/test_cycle.h"
#include "core/date_time.h"
#include "core/error_box.h"
#include "core/platform.h"
#include "core/text_codec.h"
#include "db/fb_database.h"
#include "db/transaction.h"
#include "log/mem_table.h"
#include "modal_watcher.h"
#include "probe/journal.h"
#include "probe/probe.h"
#include "probe/probe_run.h"
#include "quiet_form.h"
#include "settings/app_ini_file_storage.h"
#include "test_cycle_fixture.h"
#include "tests/support/fault_proxy.h"
#include "tests/support/file_bytes.h"
#include "tests/support/test_server.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace {
using TestCycle = TestCycleFixture;

// Types a name into the open save dialog as a user would. selectFile alone leaves the name field as it was
// when that field has the focus, and then the dialog would open the folder or ask about the last file.
void ChooseFile(QFileDialog& dialog, const QString& path) {
    dialog.selectFile(path);
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText(QFileInfo(path).fileName());
    static_cast<QDialog&>(dialog).accept();
}

void AddOldRow(TMemTable& table) {
    table.BeginAppend();
    table.MTValue.SetAsInteger(7);
    table.PostRecord();
}
} // namespace

TEST_F(TestCycle, WrongPasswordShowsTheAttachErrorAndLeavesEverythingAsItWas) {
    AddOldRow(log);
    form.edPassword()->setText("wrong");
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.Boxes().empty(); }, 2000));
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    const ModalWatcher::Box& box = watcher.Boxes().front();
    EXPECT_TRUE(box.text.contains("user name and password are not defined")) << box.text.toStdString();
    EXPECT_EQ(box.title.toStdString(), ApplicationTitle(ExecutablePath()));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, QMessageBox::Ok);
    EXPECT_EQ(log.RecordCount(), 1);
    OnWorker([](TProbeRun& run) {
        EXPECT_FALSE(run.FDB().Connected());
        EXPECT_FALSE(run.Running());
    });
    EXPECT_FALSE(cycle.Running());
    EXPECT_TRUE(form.btnStart()->isEnabled());
    EXPECT_FALSE(form.btnStop()->isEnabled());
}

TEST_F(TestCycle, AnEmptyOrMissingDatabaseIsRefusedTheSameWay) {
    AddOldRow(log);
    form.edDBName()->clear();
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.Boxes().empty(); }, 2000));
    EXPECT_FALSE(watcher.Boxes().front().text.isEmpty());
    EXPECT_EQ(log.RecordCount(), 1);
    EXPECT_FALSE(cycle.Running());
    EXPECT_TRUE(form.btnStart()->isEnabled());

    // The server's text names a missing database as it was typed, letters beyond the code page too.
    const QString missing = QString::fromStdString(TestServer::DbDir()) + QString::fromUtf8("/нет_café.fdb");
    form.edDBName()->setText("localhost:" + missing);
    Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.Boxes().size() == 2; }, 5000));
    const QString text = QString(watcher.Boxes()[1].text).remove(QChar(0x200B));
    EXPECT_TRUE(text.contains("for file \"" + missing + "\".")) << text.toStdString();
    EXPECT_EQ(log.RecordCount(), 1);
}

TEST_F(TestCycle, StartEmptiesTheLogArmsOnePeriodAndSwapsTheButtons) {
    AddOldRow(log);
    form.sePeriod()->SetValue(2);
    QTest::mouseClick(form.btnStart(), Qt::LeftButton);
    EXPECT_FALSE(form.btnStart()->isEnabled()) << "disabled while the attach is pending";
    EXPECT_TRUE(form.btnStop()->isEnabled()) << "Stop ends a pending attach";
    ASSERT_TRUE(QTest::qWaitFor([&] { return cycle.Running(); }, 10000));
    EXPECT_TRUE(watcher.Boxes().empty());
    EXPECT_EQ(log.RecordCount(), 0);
    OnWorker([](TProbeRun& run) {
        EXPECT_TRUE(run.FDB().Connected());
        EXPECT_TRUE(run.Timer1().isActive());
        EXPECT_EQ(run.Timer1().interval(), 2000);
        EXPECT_GT(run.Timer1().remainingTime(), 1500); // the first cycle comes one period later, not at once
    });
    Click(form.btnSave()); // any click lets the enabling rule run
    EXPECT_FALSE(form.btnStart()->isEnabled());
    EXPECT_TRUE(form.btnStop()->isEnabled());

    // The first real tick brings the first row.
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.RecordCount() == 1; }, 5000));
    EXPECT_EQ(ErrorOfRow(0), "");

    Stop();
    OnWorker([](TProbeRun& run) {
        EXPECT_FALSE(run.Timer1().isActive());
        EXPECT_FALSE(run.TRO().Active());
        EXPECT_FALSE(run.FDB().Connected());
    });
    EXPECT_TRUE(form.btnStart()->isEnabled());
    EXPECT_FALSE(form.btnStop()->isEnabled());
    EXPECT_TRUE(form.btnSave()->isEnabled());
}

// Metrics asked for at an address that is taken: a box at Start, and the run goes on without them.
TEST_F(TestCycle, MetricsAtATakenAddressAreShownInABoxAndTheRunGoesOn) {
    TMetricsServer squatter("127.0.0.1:0", {std::make_shared<TProbeMetrics>("other", std::make_shared<TOutageLedger>())});
    ASSERT_GT(squatter.Port(), 0);
    cycle.SetMetricsAddress("127.0.0.1:" + std::to_string(squatter.Port()));
    Start();
    EXPECT_TRUE(cycle.Running());
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text.toStdString(), "metrics: cannot listen on 127.0.0.1:" +
                                                         std::to_string(squatter.Port()) +
                                                         ": the port is taken, or the address is not one of "
                                                         "this machine's.");
    Tick();
    EXPECT_EQ(ErrorOfRow(0), "");
    Stop();
}

TEST_F(TestCycle, GoodCyclesLogEmptyErrorsAndRefreshTheClockDifference) {
    Start();
    ASSERT_TRUE(Connected());
    // A made-up difference: the first row must use it, and the cycle must then measure the real one.
    OnWorker([](TProbeRun& run) { run.FDB().SetClockDifference(100 * OneSecond); });
    form.seAmount()->SetValue(10);
    Tick();
    EXPECT_NEAR(TimeOfRow(0), Now() - 100 * OneSecond, 2 * OneSecond);
    OnWorker([](TProbeRun& run) {
        EXPECT_LT(std::abs(run.FDB().ClockDifference()), 2 * OneSecond); // server and client share a clock
    });
    Tick();
    ASSERT_EQ(log.RecordCount(), 2);
    EXPECT_NEAR(TimeOfRow(1), Now(), 2 * OneSecond);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(ErrorOfRow(row), "");
        EXPECT_GE(ValueOfRow(row), 0);
        EXPECT_LT(ValueOfRow(row), 10000);
    }
    OnWorker([](TProbeRun& run) {
        EXPECT_TRUE(run.TRO().Active()); // the transaction stays open through the cycles
        EXPECT_TRUE(run.Running());
    });
}

// Firebird 4's own types (which the 3.0 client refuses unless the attach binds them to older ones) measure like any
// other; Firebird 3 has none of them but the current time, and takes the binding item in its stride. The window's
// statements are client dialect 1, where no TIME type and no arithmetic on NUMERIC(38) exists on any server.
TEST_F(TestCycle, TheTimeZoneInt128AndDecfloatTypesMeasureWithoutAFailedRow) {
    std::vector<std::string> statements = {"select current_timestamp from rdb$database",
                                           "select localtimestamp, cast('NOW' as timestamp) from rdb$database"};
    if (TestServer::Major() >= 4)
        statements.insert(statements.end(),
                          {"select cast(170141183460469231731687303715884105727 as int128) / 1000000000000000000000 "
                           "from rdb$database",
                           "select cast(1.25 as decfloat(16)), cast(-1.5e300 as decfloat(34)) from rdb$database",
                           "select cast(12345678901234.5678 as numeric(38, 4)) from rdb$database",
                           "select current_timestamp at time zone 'UTC', "
                           "cast('2026-01-02 03:04 +05:00' as timestamp with time zone) from rdb$database"});
    EnterServer(TestServer::Db3());
    form.seAmount()->SetValue(2);
    for (const std::string& sql : statements) {
        SetSql(QString::fromStdString(sql));
        Start();
        Tick();
        Stop();
        ASSERT_EQ(log.RecordCount(), 1) << sql;
        EXPECT_EQ(ErrorOfRow(0), "") << sql;
    }
}

TEST_F(TestCycle, RejectedStatementLogsItsErrorEveryCycleAndTheRunGoesOn) {
    SetSql("select * from no_such_table");
    Start();
    OnWorker([](TProbeRun& run) { run.FDB().SetClockDifference(5 * OneSecond); });
    Tick();
    Tick();
    ASSERT_EQ(log.RecordCount(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_NE(ErrorOfRow(row).find("Form1.qry1"), std::string::npos) << ErrorOfRow(row);
        EXPECT_NE(ErrorOfRow(row).find("NO_SUCH_TABLE"), std::string::npos) << ErrorOfRow(row);
    }
    OnWorker([](TProbeRun& run) {
        EXPECT_DOUBLE_EQ(run.FDB().ClockDifference(), 5 * OneSecond); // not refreshed after a failed cycle
        EXPECT_TRUE(run.Running());
    });
    EXPECT_TRUE(watcher.Boxes().empty());
}

TEST_F(TestCycle, FailureAtOneExecutionSkipsTheRestOfTheCycle) {
    const std::string counter = MakeCounter("G_FAIL_AT_3");
    // The third execution divides by zero.
    SetSql(QString::fromStdString("select 1 / (gen_id(" + counter + ", 1) - 3) from rdb$database"));
    form.seAmount()->SetValue(10);
    Start();
    Tick();
    ASSERT_EQ(log.RecordCount(), 1);
    EXPECT_EQ(ErrorOfRow(0).rfind("Form1.qry1:", 0), 0u) << ErrorOfRow(0);
    EXPECT_EQ(CounterValue(counter), 3);
    EXPECT_GE(ValueOfRow(0), 0); // the time until the failure, not a counter reading
    EXPECT_LT(ValueOfRow(0), 10000);
}

// The limit here is 1 s instead of the window's 30 s, to keep the test short; the escalation is the same.
TEST_F(TestCycle, AStatementThatOutlivesTheLimitIsCancelledByTheServerAndTheRunGoesOn) {
    const std::string counter = MakeCounter("G_LONG_FIRST");
    // The first execution loops for minutes; the later ones return at once.
    SetSql(QString::fromStdString("execute block returns (n integer) as\n"
                                  "declare i integer = 0;\n"
                                  "declare k integer;\n"
                                  "begin\n"
                                  "  k = gen_id(" +
                                  counter +
                                  ", 1);\n"
                                  "  while (k = 1 and i < 2000000000) do i = i + 1;\n"
                                  "  n = i;\n"
                                  "  suspend;\n"
                                  "end"));
    form.seAmount()->SetValue(1);
    Start();
    OnWorker([](TProbeRun& run) { run.FDB().SetCallTimeout(1000); });
    Tick();
    EXPECT_EQ(ErrorOfRow(0).rfind("Form1.qry1:\r\n", 0), 0u) << ErrorOfRow(0);
    EXPECT_NE(ErrorOfRow(0).find("cancelled"), std::string::npos) << ErrorOfRow(0);
    EXPECT_EQ(ErrorOfRow(0).find("aborted"), std::string::npos) << ErrorOfRow(0);
    EXPECT_GE(ValueOfRow(0), 1000);
    EXPECT_LT(ValueOfRow(0), 2500);
    OnWorker([](TProbeRun& run) {
        EXPECT_TRUE(run.FDB().Connected());
        EXPECT_FALSE(run.FDB().RestoreTimer()->isActive());
    });
    Tick();
    EXPECT_EQ(ErrorOfRow(1), "");
}

TEST_F(TestCycle, AmountIsReadAtEveryTickAndZeroOrLessExecutesNothing) {
    const std::string counter = MakeCounter("G_AMOUNT");
    SetSql(QString::fromStdString("select gen_id(" + counter + ", 1) from rdb$database"));
    Start();
    for (const char* text : {"0", "-5"}) {
        form.seAmount()->setText(text);
        Tick();
    }
    EXPECT_EQ(CounterValue(counter), 0);
    OnWorker([](TProbeRun& run) { EXPECT_FALSE(run.TRO().Active()); });
    ASSERT_EQ(log.RecordCount(), 2);
    EXPECT_EQ(ErrorOfRow(0), "");
    EXPECT_LT(ValueOfRow(0), 100);

    form.seAmount()->setText("3");
    Tick();
    EXPECT_EQ(CounterValue(counter), 3);
    form.seAmount()->setText("abc"); // reads as the minimum, 1
    Tick();
    EXPECT_EQ(CounterValue(counter), 4);
}

TEST_F(TestCycle, PeriodAndSqlChangesWaitForTheNextStart) {
    Start();
    form.sePeriod()->setText("5");
    SetSql("select * from no_such_table");
    Tick();
    OnWorker([](TProbeRun& run) { EXPECT_EQ(run.Timer1().interval(), QuietPeriod * 1000); });
    EXPECT_EQ(ErrorOfRow(0), "");

    Stop();
    form.sePeriod()->setText("99999"); // never left, so never clamped by the editor
    Start();
    OnWorker([](TProbeRun& run) { EXPECT_EQ(run.Timer1().interval(), 3600 * 1000); });
    EXPECT_EQ(log.RecordCount(), 0);
    Tick();
    EXPECT_NE(ErrorOfRow(0).find("NO_SUCH_TABLE"), std::string::npos);
}

TEST_F(TestCycle, SaveDuringARunHoldsEveryRowAndRemembersTheName) {
    QTemporaryDir dir;
    const QString typed = dir.filePath("run");
    Start();
    Tick();
    Tick();
    watcher.OnFileDialog = [&](QFileDialog& dialog) { ChooseFile(dialog, typed); };
    Click(form.btnSave());
    ASSERT_EQ(watcher.FileDialogs(), 1);
    QFile saved(typed + ".txt");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = saved.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, and nothing after the last line end
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(lines[i].endsWith('\r'));
    EXPECT_TRUE(lines[3].isEmpty());
    EXPECT_TRUE(cycle.Running());
    EXPECT_EQ(form.SaveDialog1()->FileName(), typed + ".txt");

    // Opened again with the last name; cancelling writes nothing.
    QString offered;
    watcher.OnFileDialog = [&](QFileDialog& dialog) {
        offered = dialog.selectedFiles().value(0);
        dialog.reject();
    };
    Tick();
    Click(form.btnSave());
    EXPECT_EQ(offered, typed + ".txt");
    saved.close();
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().count('\n'), 3);
}

// The dialog's name goes to the file untouched: no "?" for what the code page lacks, so no other file is
// written (or overwritten without a question).
TEST_F(TestCycle, SaveWritesExactlyTheNameChosenInTheDialog) {
    QTemporaryDir dir;
    AddOldRow(log);
    int folder = 0;
    for (const char* name : {"日本.txt", "café.txt", "тест.txt"}) {
        const QDir inside(dir.filePath(QString::number(++folder)));
        ASSERT_TRUE(inside.mkpath("."));
        const QString chosen = inside.filePath(QString::fromUtf8(name));
        // What the name became through the code page ("??.txt") is another user's file.
        const QString mangled = inside.filePath(FromCp1251(ToCp1251(QString::fromUtf8(name))));
        if (mangled != chosen) {
            QFile unrelated(mangled);
            ASSERT_TRUE(unrelated.open(QIODevice::WriteOnly));
            unrelated.write("keep");
        }
        int shown = 0;
        watcher.OnFileDialog = [&](QFileDialog& dialog) {
            if (++shown > 1) // still open: it asks about an existing file, which must not happen
                return static_cast<QDialog&>(dialog).reject();
            ChooseFile(dialog, chosen);
        };
        Click(form.btnSave());
        EXPECT_EQ(shown, 1) << name;
        QFile saved(chosen);
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(saved.readAll().startsWith("\"Time\"\t")) << name;
        if (mangled != chosen) {
            QFile unrelated(mangled);
            ASSERT_TRUE(unrelated.open(QIODevice::ReadOnly)) << name;
            EXPECT_EQ(unrelated.readAll(), "keep") << name;
        }
    }
    EXPECT_TRUE(watcher.Boxes().empty());

    // A failure names the file as chosen.
    const QString missing = dir.filePath(QString::fromUtf8("日本/log.txt"));
    RunShowingErrors(&form, [&] { log.SaveAsText(missing); });
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, "Cannot create file \"" + missing + "\". No such file or directory.");
}

TEST_F(TestCycle, StartAttachesToADatabaseWhoseNameHasLettersOutsideTheCodePage) {
    EnterServer(TestServer::Database("\u00e9t\u00e9-\u0442\u0435\u0441\u0442.fdb"));
    Start();
    EXPECT_TRUE(watcher.Boxes().empty()) << watcher.Boxes()[0].text.toStdString();
    EXPECT_TRUE(Connected());
    Tick();
    ASSERT_EQ(log.RecordCount(), 1);
    EXPECT_EQ(ErrorOfRow(0), "");
    Stop();
}

TEST_F(TestCycle, TicksKeepRunningCyclesWhileAnErrorBoxIsOpen) {
    form.sePeriod()->SetValue(1);
    Start();
    // A link whose opener is missing: its box stays open for 2.5 s while the 1 s period goes on.
    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    int rowsWhileOpen = -1;
    watcher.OnBox = [&](const ModalWatcher::Box&) {
        QTest::qWait(2500);
        rowsWhileOpen = log.RecordCount();
    };
    QTest::mouseClick(form.lblCopyright(), Qt::LeftButton);
    qputenv("PATH", path);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes().front().text,
              "There is no application associated with the given filename extension.");
    EXPECT_GE(rowsWhileOpen, 1);
    EXPECT_TRUE(cycle.Running());
}

TEST_F(TestCycle, AnOutageLogsOneLostConnectionRowThenNotOpenRowsThenRecovers) {
    proxy.emplace();
    EnterServer(proxy->DbName(TestServer::Db1()));
    Start();
    ASSERT_TRUE(Connected());
    Tick();
    ASSERT_EQ(ErrorOfRow(0), "");

    proxy->Cut();
    Tick();
    Tick();
    Tick();
    ASSERT_EQ(log.RecordCount(), 4);
    EXPECT_EQ(ErrorOfRow(1).rfind("Form1.qry1:\r\n", 0), 0u) << ErrorOfRow(1);
    for (int row = 2; row < 4; ++row)
        EXPECT_EQ(ErrorOfRow(row), "Form1.FDB: Cannot perform operation -- DB is not open.")
            << ErrorOfRow(row);
    OnWorker([](TProbeRun& run) {
        EXPECT_FALSE(run.FDB().Connected());
        EXPECT_TRUE(run.FDB().RestoreTimer()->isActive());
    });

    proxy->Restore();
    // The restore timer re-attaches within its 5 s period.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Connected(); }, 8000));
    Tick();
    EXPECT_EQ(ErrorOfRow(log.RecordCount() - 1), "");
    EXPECT_TRUE(cycle.Running());
    EXPECT_TRUE(watcher.Boxes().empty());
    Stop();
    EXPECT_FALSE(Connected());
}

namespace {
QAction* MenuEntry(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions())
        if (action->text() == text)
            return action;
    return nullptr;
}
} // namespace

// The journal chosen in the grid's menu is remembered in the settings file; each Start gets a file of its
// own, which holds exactly what a save at Stop holds, whatever the grid deletes.
TEST_F(TestCycle, AJournalChosenInTheGridsMenuIsRememberedAndEachStartWritesAFileOfItsOwn) {
    QTemporaryDir dir;
    const QString chosen = dir.filePath("run.tsv");
    {
        QMenu menu;
        form.AddJournalEntries(menu);
        QAction* keep = MenuEntry(menu, "Keep a journal...");
        ASSERT_NE(keep, nullptr);
        EXPECT_FALSE(keep->isChecked());
        EXPECT_EQ(MenuEntry(menu, "Stop keeping a journal"), nullptr);
        watcher.OnFileDialog = [&](QFileDialog& dialog) { ChooseFile(dialog, chosen); };
        keep->trigger();
    }
    ASSERT_EQ(watcher.FileDialogs(), 1);
    EXPECT_EQ(form.JournalPath(), chosen);
    EXPECT_EQ(form.AppIniFileStorage1()->GetString("Form1\\Journal", ""), chosen.toStdString());

    const auto journalOfTheRun = [&] {
        std::string name;
        OnWorker([&](TProbeRun& run) { name = run.Journal() ? run.Journal()->FileName() : "<none>"; });
        return name;
    };
    const auto savedLog = [&](const QString& name) {
        log.SaveAsText(dir.filePath(name));
        return ReadFileBytes(dir.filePath(name).toStdString());
    };
    Start();
    const std::string first = journalOfTheRun();
    Tick();
    Tick();
    const std::string firstRun = savedLog("first.txt");
    log.First();
    log.DeleteRecord();
    Stop();
    EXPECT_EQ(ReadFileBytes(first), firstRun);

    Start();
    const std::string second = journalOfTheRun();
    EXPECT_NE(second, first);
    Tick();
    Stop();
    EXPECT_EQ(ReadFileBytes(second), savedLog("second.txt"));
    EXPECT_EQ(ReadFileBytes(first), firstRun);
    EXPECT_EQ(QDir(dir.path()).entryList({"run-*.tsv"}).size(), 2);
    EXPECT_TRUE(watcher.Boxes().empty());

    QMenu menu;
    form.AddJournalEntries(menu);
    ASSERT_TRUE(MenuEntry(menu, "Keep a journal...")->isChecked());
    ASSERT_NE(MenuEntry(menu, "Stop keeping a journal"), nullptr);
    MenuEntry(menu, "Stop keeping a journal")->trigger();
    EXPECT_EQ(form.JournalPath(), "");
    EXPECT_FALSE(form.AppIniFileStorage1()->HasValue("Form1\\Journal"));
    Start();
    EXPECT_EQ(journalOfTheRun(), "<none>");
    Stop();
}
