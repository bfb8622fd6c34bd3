// The real executable run without a window against the real server, as a service would run it: rows on
// standard output, a journal on disk, ended by signals or killed.
#include "tests/support/fault_proxy.h"
#include "tests/support/file_bytes.h"
#include "tests/support/python_csv.h"
#include "tests/support/test_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

const QStringList Header = {"Time", "Value", "Error"};

class Headless : public testing::Test {
protected:
    ~Headless() override {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString OutputPath() const { return Path("stdout.tsv"); }
    std::string Output() const { return ReadFileBytes(OutputPath().toStdString()); }
    std::string Errors() {
        m_errors += m_program.readAllStandardError().toStdString();
        return m_errors;
    }

    // Runs every second, the password in the environment; standard output goes to a file.
    void Launch(const std::string& database, QStringList options, const std::string& password = TestServer::Password()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUORVANE_PASSWORD", QString::fromStdString(password));
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        m_program.setProcessEnvironment(environment);
        m_program.setStandardOutputFile(OutputPath());
        m_program.start(QUORVANE_EXECUTABLE, QStringList{"--headless", "--database", QString::fromStdString(database),
                                                         "--user", QString::fromStdString(TestServer::User()),
                                                         "--period", "1", "--amount", "2"} +
                                                 options);
        ASSERT_TRUE(m_program.waitForStarted());
    }

    // Rows on standard output so far (complete lines after the header).
    int Rows() const {
        const std::string out = Output();
        int lines = 0;
        for (size_t at = out.find("\r\n"); at != std::string::npos; at = out.find("\r\n", at + 2))
            ++lines;
        return std::max(lines - 1, 0);
    }
    bool WaitForRows(int rows, int milliseconds = 20000) {
        return QTest::qWaitFor([&] { return Rows() >= rows || m_program.state() == QProcess::NotRunning; },
                               milliseconds) &&
               Rows() >= rows;
    }
    bool WaitFor(const std::function<bool(const std::vector<QStringList>&)>& condition, int milliseconds) {
        return QTest::qWaitFor([&] { return condition(PythonCsvRows(OutputPath())); }, milliseconds);
    }

    // The signal ends the program within 3 s, normally and with status 0.
    void EndWith(int signalNumber) {
        ::kill(static_cast<pid_t>(m_program.processId()), signalNumber);
        ASSERT_TRUE(m_program.waitForFinished(3000)) << "still running 3 s after signal " << signalNumber;
        EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit) << "signal " << signalNumber;
        EXPECT_EQ(m_program.exitCode(), 0) << "signal " << signalNumber << ": " << Errors();
    }

    // The one journal file of the run.
    QString JournalPath(const QString& folder = QString()) const {
        const QDir dir(folder.isEmpty() ? m_dir.path() : folder);
        const QStringList files = dir.entryList({"run-*.tsv"}, QDir::Files);
        EXPECT_EQ(files.size(), 1) << files.join(", ").toStdString();
        return files.isEmpty() ? QString() : dir.filePath(files.front());
    }

    QTemporaryDir m_dir;
    QProcess m_program;
    std::string m_errors;
};

bool Failed(const QStringList& row) { return row.size() == 3 && !row[2].isEmpty(); }

} // namespace

// Standard output and the journal are the same saved log, which Python's csv module reads row for row; each
// termination signal ends the run with a summary and status 0.
TEST_F(Headless, StandardOutputIsTheJournalAndEverySignalEndsTheRunWithASummary) {
    Launch(TestServer::Db1(), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(WaitForRows(3)) << Errors();
    EndWith(SIGTERM);
    const std::vector<QStringList> rows = PythonCsvRows(OutputPath());
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows.front(), Header);
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 3) << i;
        EXPECT_EQ(rows[i][2], "") << i;
        EXPECT_GE(rows[i][1].toInt(), 0) << i;
    }
    EXPECT_EQ(PythonCsvRows(JournalPath()), rows);
    EXPECT_EQ(ReadFileBytes(JournalPath().toStdString()), Output());
    const std::string summary = Errors();
    EXPECT_NE(summary.find("Rows: " + std::to_string(rows.size() - 1) + "\nFailed rows: 0\n"
                           "Availability: 100.000 %\nElapsed ms: min "),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\nOutages: 0\n"), std::string::npos) << summary;

    for (const int signalNumber : {SIGINT, SIGHUP}) {
        m_errors.clear();
        Launch(TestServer::Db1(), {});
        ASSERT_TRUE(WaitForRows(1)) << Errors();
        EndWith(signalNumber);
        EXPECT_NE(Errors().find("Failed rows: 0\n"), std::string::npos) << Errors();
    }
}

TEST_F(Headless, AKillLosesAtMostTheLastRowAndLeavesNoPartialLine) {
    Launch(TestServer::Db1(), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(WaitForRows(4)) << Errors();
    const int shown = Rows();
    ::kill(static_cast<pid_t>(m_program.processId()), SIGKILL);
    ASSERT_TRUE(m_program.waitForFinished(3000));
    const std::string journal = ReadFileBytes(JournalPath().toStdString());
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal.substr(journal.size() - 2), "\r\n");
    const std::vector<QStringList> rows = PythonCsvRows(JournalPath());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), Header);
    EXPECT_GE(static_cast<int>(rows.size()) - 1, shown - 1);
    for (size_t i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].size(), 3) << i;
}

// The link to the server is cut and restored: the journal holds the good rows, the outage's rows and the
// recovery, in the order standard output showed them.
TEST_F(Headless, ACutLinkIsJournalledAsTheOutageAndTheRecovery) {
    FaultProxy proxy;
    Launch(proxy.DbName(TestServer::Db1()), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(WaitForRows(2)) << Errors();
    proxy.Cut();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return rows.size() >= 3 && Failed(rows.back()); }, 15000)) << Errors();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return std::count_if(rows.begin(), rows.end(), Failed) >= 2; }, 15000));
    proxy.Restore();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return rows.size() >= 2 && !Failed(rows.back()); }, 20000)) << Errors();
    EndWith(SIGTERM);

    const std::vector<QStringList> rows = PythonCsvRows(OutputPath());
    EXPECT_EQ(PythonCsvRows(JournalPath()), rows);
    // Good rows, then one run of failed rows, then good rows again.
    std::string shape;
    for (size_t i = 1; i < rows.size(); ++i)
        if (shape.empty() || shape.back() != (Failed(rows[i]) ? 'x' : 'o'))
            shape += Failed(rows[i]) ? 'x' : 'o';
    EXPECT_EQ(shape, "oxo");
    EXPECT_NE(Errors().find("\nOutages: 1\n"), std::string::npos) << Errors();
}

TEST_F(Headless, AJournalWhoseFolderDisappearsIsReportedOnceAndTheRunGoesOn) {
    const QString folder = Path("runs");
    ASSERT_TRUE(QDir().mkpath(folder));
    Launch(TestServer::Db1(), {"--journal", folder + "/run.tsv"});
    ASSERT_TRUE(WaitForRows(2)) << Errors();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    const int rowsThen = Rows();
    ASSERT_TRUE(WaitForRows(rowsThen + 3)) << Errors();
    EndWith(SIGTERM);
    const std::string errors = Errors();
    const auto first = errors.find("Cannot write file \"" + folder.toStdString() + "/run-");
    ASSERT_NE(first, std::string::npos) << errors;
    EXPECT_EQ(errors.find("Cannot write file", first + 1), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Cannot create file"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Failed rows: 0\n"), std::string::npos) << errors;
}

// The box's text (the attach error under the full-stop rule) on standard error, nothing on standard output.
TEST_F(Headless, AFailedStartTellsTheBoxTextAndEndsWithAFailureStatus) {
    Launch(TestServer::Db1(), {"--journal", Path("run.tsv")}, "wrong password");
    ASSERT_TRUE(m_program.waitForFinished(20000));
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 1);
    EXPECT_EQ(Output(), "");
    const std::string errors = Errors();
    EXPECT_EQ(errors.rfind("Form1.FDB:\n", 0), 0u) << errors;
    EXPECT_NE(errors.find("user name and password are not defined"), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\r'), std::string::npos) << errors;
    EXPECT_EQ(errors.find("\n\n"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Rows:"), std::string::npos) << errors;
    EXPECT_TRUE(QDir(m_dir.path()).entryList({"run-*"}).isEmpty());

    // The server's text quotes a missing database's name as it was typed, letters beyond the code page too.
    m_errors.clear();
    const std::string missing = TestServer::DbDir() + "/\u043d\u0435\u0442_caf\u00e9.fdb";
    Launch("localhost:" + missing, {});
    ASSERT_TRUE(m_program.waitForFinished(20000));
    EXPECT_EQ(m_program.exitCode(), 1);
    EXPECT_NE(Errors().find("for file \"" + missing + "\".\n"), std::string::npos) << Errors();
}
