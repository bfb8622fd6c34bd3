// The real executable run without a window against the real server, as a service would run it: rows on
// standard output, a journal on disk, ended by signals or killed.
#include "tests/support/fault_proxy.h"
#include "tests/support/file_bytes.h"
#include "tests/support/python_csv.h"
#include "tests/support/test_server.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
        LaunchWith(QStringList{"--headless", "--database", QString::fromStdString(database), "--user",
                               QString::fromStdString(TestServer::User()), "--period", "1", "--amount", "2"} +
                       options,
                   password);
    }
    void LaunchWith(const QStringList& arguments, const std::string& password = TestServer::Password()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUORVANE_PASSWORD", QString::fromStdString(password));
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        for (const QString& name : m_moreEnvironment.keys())
            environment.insert(name, m_moreEnvironment.value(name));
        m_program.setProcessEnvironment(environment);
        m_program.setStandardOutputFile(OutputPath());
        m_program.start(QUORVANE_EXECUTABLE, arguments);
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

    // The signal ends the program within 3 s, normally and with status 0. A program built with a sanitizer is
    // given twice that: the sanitizer's own work at the exit takes about a second of it.
    void EndWith(int signalNumber) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
        constexpr int deadlineMs = 6000;
#else
        constexpr int deadlineMs = 3000;
#endif
        // A program that has ended already has no id; kill(0) would end this test's own process group.
        ASSERT_GT(m_program.processId(), 0) << "the program ended before signal " << signalNumber << ": "
                                            << m_program.exitCode();
        ::kill(static_cast<pid_t>(m_program.processId()), signalNumber);
        ASSERT_TRUE(m_program.waitForFinished(deadlineMs))
            << "still running " << deadlineMs << " ms after signal " << signalNumber;
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
    QProcessEnvironment m_moreEnvironment;
    QProcess m_program;
    std::string m_errors;
};

bool Failed(const QStringList& row) {
    return row.size() == 3 && !row[2].isEmpty();
}

// The private Prometheus of tools/test: where it answers, and the address it scrapes every second.
std::string PrometheusSetting(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == 0)
        ADD_FAILURE() << name << " is not set: run the tests through tools/test";
    return value ? value : "";
}

// The one value of an instant query at that time (Unix seconds), asked of Prometheus's HTTP API; NaN when
// the answer holds no series.
double PrometheusValue(const std::string& query, double atSeconds) {
    QProcess python;
    python.start("python3", {"-c",
                             "import sys, urllib.parse, urllib.request\n"
                             "url = sys.argv[1] + '/api/v1/query?' + urllib.parse.urlencode("
                             "{'query': sys.argv[2], 'time': sys.argv[3]})\n"
                             "sys.stdout.write(urllib.request.urlopen(url, timeout=5).read().decode())",
                             QString::fromStdString(PrometheusSetting("QV_TEST_PROMETHEUS_URL")),
                             QString::fromStdString(query), QString::number(atSeconds, 'f', 3)});
    python.waitForFinished(10000);
    const QJsonArray result = QJsonDocument::fromJson(python.readAllStandardOutput())["data"]["result"].toArray();
    return result.isEmpty() ? std::nan("") : result[0]["value"][1].toString().toDouble();
}

double UnixNow() { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000; }

} // namespace

// Standard output and the journal are the same saved log, which Python's csv module reads row for row; SIGTERM
// and SIGINT end the run with a summary and status 0.
TEST_F(Headless, StandardOutputIsTheJournalAndEverySignalEndsTheRunWithASummary) {
    Launch(TestServer::Db1(), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(WaitForRows(3)) << Errors();
    // The password left the environment once read: /proc (and a core file) show nothing of it.
    QFile environ(QString("/proc/%1/environ").arg(m_program.processId()));
    ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
    const QByteArray variables = environ.readAll();
    EXPECT_FALSE(variables.contains("QUORVANE_PASSWORD"));
    const QString password = QString::fromStdString(TestServer::Password());
    const QProcessEnvironment given = m_program.processEnvironment();
    qsizetype elsewhere = 0; // the test's own variables hold it too
    for (const QString& name : given.keys())
        if (name != "QUORVANE_PASSWORD")
            elsewhere += given.value(name).count(password);
    EXPECT_EQ(variables.count(password.toUtf8()), elsewhere) << "the password's bytes stayed";
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
                           "Availability: 100.000 % of the run's time (outages 0.000 s of "),
              std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\nOutages: 0\n"), std::string::npos) << summary;

    for (const int signalNumber : {SIGINT}) {
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
    ASSERT_GT(m_program.processId(), 0) << Errors();
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
    ASSERT_TRUE(WaitFor([](const auto& rows) { return rows.size() >= 3 && Failed(rows.back()); }, 15000))
        << Errors();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return std::count_if(rows.begin(), rows.end(), Failed) >= 2; },
                        15000));
    proxy.Restore();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return rows.size() >= 2 && !Failed(rows.back()); }, 20000))
        << Errors();
    // Then the link freezes: the call that hangs is the second outage as soon as it has waited a period, and
    // the end of the run during it counts it to the end.
    proxy.Freeze();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Errors().find(": no_answer \u2014 ") != std::string::npos; }, 8000))
        << Errors();
    EndWith(SIGTERM);
    proxy.Restore();

    const std::vector<QStringList> rows = PythonCsvRows(OutputPath());
    EXPECT_EQ(PythonCsvRows(JournalPath()), rows);
    // Good rows, then one run of failed rows, then good rows again.
    std::string shape;
    for (size_t i = 1; i < rows.size(); ++i)
        if (shape.empty() || shape.back() != (Failed(rows[i]) ? 'x' : 'o'))
            shape += Failed(rows[i]) ? 'x' : 'o';
    EXPECT_EQ(shape, "oxo");
    // Standard error tells when the outage began and when it ended, with its cause and reason, then sums them
    // up.
    const std::string errors = Errors();
    EXPECT_NE(errors.find("\nOutages: 2\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("failed rows): network \u2014 Error "), std::string::npos) << errors;
    EXPECT_NE(errors.find(" 0 failed rows): no_answer \u2014 No answer from the server for "), std::string::npos)
        << errors;
    const auto began = errors.find("Outage since ");
    const auto ended = errors.find("Outage ended at ");
    ASSERT_NE(began, std::string::npos) << errors;
    ASSERT_NE(ended, std::string::npos) << errors;
    EXPECT_LT(began, ended);
    const std::string beganLine = errors.substr(began, errors.find('\n', began) - began);
    EXPECT_NE(beganLine.find(": network \u2014 Error "), std::string::npos) << beganLine; // never the sender
}

// A probe started while the server cannot be reached records the outage from its first period (the attach's
// own error first, then the rows of any outage) and re-attaches by itself.
TEST_F(Headless, AProbeStartedDuringAnOutageJournalsItFromTheFirstPeriodAndRecovers) {
    FaultProxy proxy;
    proxy.Cut();
    Launch(proxy.DbName(TestServer::Db1()), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(WaitForRows(2)) << Errors();
    const std::vector<QStringList> outage = PythonCsvRows(OutputPath());
    ASSERT_GE(outage.size(), 3u);
    EXPECT_TRUE(outage[1][2].startsWith("Form1.FDB:")) << outage[1][2].toStdString();
    EXPECT_NE(outage[1][2].indexOf("network request"), -1) << outage[1][2].toStdString();
    EXPECT_EQ(outage[2][2], "Form1.FDB: Cannot perform operation -- DB is not open.");
    proxy.Restore();
    ASSERT_TRUE(WaitFor([](const auto& rows) { return rows.size() >= 2 && !Failed(rows.back()); }, 12000))
        << Errors();
    EndWith(SIGTERM);
    const std::vector<QStringList> rows = PythonCsvRows(OutputPath());
    EXPECT_EQ(PythonCsvRows(JournalPath()), rows);
}

// Standard output whose reader takes nothing holds up neither the run nor its stop; a signal in the first
// moments of the program, or during a first attach that hangs, ends it as any stop does.
TEST_F(Headless, NeitherAStalledReaderNorAnEarlySignalNorAHangingFirstAttachHoldsTheRunUp) {
    FaultProxy proxy; // made first, as in the other tests: its thread is there before any program is started
    int stalled[2];
    ASSERT_EQ(pipe2(stalled, O_NONBLOCK), 0);
    const std::string filler(4096, 'x');
    while (write(stalled[1], filler.data(), filler.size()) > 0) {
    }
    fcntl(stalled[1], F_SETFL, 0);
    m_program.setChildProcessModifier([&] { dup2(stalled[1], STDOUT_FILENO); });
    Launch(TestServer::Db1(), {"--journal", Path("run.tsv")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !QDir(m_dir.path()).entryList({"run-*.tsv"}).isEmpty(); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return PythonCsvRows(JournalPath()).size() >= 3; }, 10000)) << Errors();
    EndWith(SIGTERM);
    EXPECT_NE(Errors().find("Rows: "), std::string::npos) << Errors();
    // The pipe was full from the start: not one row reached the reader, and the count says so, the rows still
    // queued at the end among them.
    const size_t measured = PythonCsvRows(JournalPath()).size() - 1;
    EXPECT_NE(Errors().find("Standard output was not read: " + std::to_string(measured) + " lines of it were dropped"),
              std::string::npos)
        << Errors();
    close(stalled[0]);
    close(stalled[1]);
    m_program.setChildProcessModifier({});

    // Once the program holds the signals back (or handles them), a SIGTERM ends it as a stop does.
    m_errors.clear();
    Launch(TestServer::Db1(), {});
    const QString status = QString("/proc/%1/status").arg(m_program.processId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile file(status);
            const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            const auto has = [&](const char* field) {
                const int at = text.indexOf(field);
                return at >= 0 &&
                       (text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) & (1ull << (SIGTERM - 1)));
            };
            return has("SigBlk:") || has("SigCgt:");
        },
        5000));
    EndWith(SIGTERM);

    // The duration counts from the program's start, also while the first attach hangs.
    proxy.Freeze();
    m_errors.clear();
    QElapsedTimer running;
    running.start();
    Launch(proxy.DbName(TestServer::Db1()), {"--duration", "2"});
    ASSERT_TRUE(m_program.waitForFinished(6000)) << Errors();
    EXPECT_EQ(m_program.exitCode(), 0) << Errors();
    EXPECT_LT(running.elapsed(), 5000);
    proxy.Restore();
}

// A large statement sent into a slow link holds the client library inside its send, and its request to cancel
// waits behind it: the abort still comes on time, and a signal ends the run within 3 s, with its summary.
TEST_F(Headless, ARunHeldInsideTheClientLibraryStillEndsOnASignal) {
    FaultProxy proxy;
    proxy.LimitRate(200000);
    const std::string sqlFile = Path("large.sql").toStdString();
    WriteFileBytes(sqlFile, "select 1 from rdb$database /* " + std::string(16 << 20, 'x') + " */\n");
    Launch(proxy.DbName(TestServer::Db1()), {"--sql-file", QString::fromStdString(sqlFile), "--call-limit", "1"});
    // The statement's call goes unanswered beyond the period, which the run reports as an outage.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Errors().find("Outage since") != std::string::npos; }, 20000))
        << Errors();
    EndWith(SIGTERM);
    EXPECT_NE(Errors().find("Rows: "), std::string::npos) << Errors();
}

// A name beyond ASCII attaches as typed under any locale: under C, and with no environment at all (cron, a
// service unit that sets no locale).
TEST_F(Headless, ANameBeyondAsciiAttachesWithoutAUtf8Locale) {
    const std::string fileName = "\u0442\u0435\u0441\u0442-18.fdb";
    TestServer::Database(fileName); // made when missing
    // With its port: no environment tells the client where the test's server listens.
    const std::string database = "localhost/" + std::to_string(TestServer::Port()) + ":" + TestServer::DbDir() + "/" + fileName;
    for (const char* locale : {"", "C"}) {
        QProcessEnvironment environment; // nothing from the test's own
        environment.insert("QUORVANE_PASSWORD", QString::fromStdString(TestServer::Password()));
        // Except the sanitizers' options (their suppressions), which belong to the test run, not the program.
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
            if (qEnvironmentVariableIsSet(name))
                environment.insert(name, qEnvironmentVariable(name));
        if (*locale != '\0')
            environment.insert("LC_ALL", locale);
        m_program.setProcessEnvironment(environment);
        m_program.setStandardOutputFile(OutputPath());
        m_program.start(QUORVANE_EXECUTABLE,
                        {"--headless", "--database", QString::fromStdString(database), "--user",
                         QString::fromStdString(TestServer::User()), "--period", "1", "--amount", "1", "--duration",
                         "2"});
        ASSERT_TRUE(m_program.waitForFinished(10000)) << locale;
        EXPECT_EQ(m_program.exitCode(), 0) << "LC_ALL=" << locale << ": " << Errors();
        const std::vector<QStringList> rows = PythonCsvRows(OutputPath());
        ASSERT_GE(rows.size(), 2u) << "LC_ALL=" << locale << ": " << Errors();
        for (size_t i = 1; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].value(2), "") << "LC_ALL=" << locale;
        m_errors.clear();
    }
}

// Its name, outside the code page, is told as it was typed.
TEST_F(Headless, AJournalWhoseFolderDisappearsIsReportedOnceAndTheRunGoesOn) {
    const QString folder = Path("runs_café");
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

// What the program tells systemd, read from a notification socket of the test's own as systemd reads it (at
// once: a full socket would hold the program up).
class NotifySocket {
public:
    explicit NotifySocket(const QString& path) : m_fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Read(); });
    }
    ~NotifySocket() { close(m_fd); }
    void Read() {
        char message[4096];
        for (ssize_t size; (size = recv(m_fd, message, sizeof message, 0)) > 0;)
            messages.emplace_back(message, static_cast<size_t>(size));
    }
    std::vector<std::string> messages;

private:
    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// As the service runs it: the settings from a file, the rows as JSON on standard output; the link is cut and
// restored, then SIGHUP starts a second journal file: together the two files hold every row once. systemd
// learns that the run is ready when its attach has ended, its state in words, and gets the watchdog's pings.
TEST_F(Headless, ASettingsFileJsonRowsAndSighupSplitTheJournalWithoutLosingOrDoublingARow) {
    NotifySocket notifications(Path("notify"));
    m_moreEnvironment.insert("NOTIFY_SOCKET", Path("notify"));
    m_moreEnvironment.insert("WATCHDOG_USEC", "400000");
    FaultProxy proxy;
    const std::string database = proxy.DbName(TestServer::Db1());
    WriteFileBytes(Path("probe.conf").toStdString(),
                   "# as the unit reads it\ndatabase = " + database + "\nuser = " + TestServer::User() +
                       "\nperiod = 1\namount = 5\nformat = tsv\njournal = " + Path("run.tsv").toStdString() + "\n");
    LaunchWith({"--headless", "--config", Path("probe.conf"), "--amount", "2", "--format", "jsonl"});
    const auto lines = [&] {
        std::vector<QJsonObject> objects;
        const std::string out = Output();
        for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
            objects.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(out.substr(at, end - at))).object());
        return objects;
    };
    const auto waitFor = [&](const std::function<bool(const QJsonObject&)>& last) {
        return QTest::qWaitFor([&] { return !lines().empty() && last(lines().back()); }, 20000);
    };
    const auto failed = [](const QJsonObject& line) { return line["error"].isString(); };
    ASSERT_TRUE(waitFor([&](const QJsonObject&) { return lines().size() >= 2; })) << Errors();
    proxy.Cut();
    ASSERT_TRUE(waitFor(failed)) << Errors();
    proxy.Restore();
    ASSERT_TRUE(waitFor([&](const QJsonObject& line) { return !failed(line); })) << Errors();
    ASSERT_GT(m_program.processId(), 0) << Errors();
    ::kill(static_cast<pid_t>(m_program.processId()), SIGHUP);
    const size_t before = lines().size();
    ASSERT_TRUE(waitFor([&](const QJsonObject&) { return lines().size() >= before + 2; })) << Errors();
    EndWith(SIGTERM);

    const std::vector<QJsonObject> rows = lines();
    const QRegularExpression isoTime(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
    for (const QJsonObject& row : rows) {
        EXPECT_EQ(row.keys(), (QStringList{"cause", "elapsed_ms", "error", "target", "time"}));
        EXPECT_TRUE(isoTime.match(row["time"].toString()).hasMatch()) << row["time"].toString().toStdString();
        EXPECT_TRUE(row["error"].isNull() || !row["error"].toString().isEmpty());
        EXPECT_EQ(row["error"].isNull(), row["cause"].isNull());
        EXPECT_EQ(row["target"].toString().toStdString(), database);
    }
    const QStringList files = QDir(m_dir.path()).entryList({"run-*.tsv"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
    std::vector<QStringList> journalled;
    for (const QString& file : files) {
        const std::vector<QStringList> fileRows = PythonCsvRows(m_dir.filePath(file));
        ASSERT_FALSE(fileRows.empty());
        EXPECT_EQ(fileRows.front(), Header);
        EXPECT_GE(fileRows.size(), 2u) << file.toStdString();
        journalled.insert(journalled.end(), fileRows.begin() + 1, fileRows.end());
    }
    ASSERT_EQ(journalled.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(journalled[i][1].toInt(), rows[i]["elapsed_ms"].toInt()) << i;
        EXPECT_EQ(Failed(journalled[i]), failed(rows[i])) << i;
    }
    EXPECT_NE(Errors().find("\nOutages: 1\n"), std::string::npos) << Errors();

    std::string told; // the messages, one a line, the watchdog's pings counted apart
    int pings = 0;
    notifications.Read();
    for (const std::string& message : notifications.messages)
        message == "WATCHDOG=1" ? void(++pings) : void(told += message + "\n");
    const std::string target = "Attached to " + database;
    EXPECT_EQ(told.rfind("STATUS=Attaching to " + database + "\nREADY=1\nSTATUS=Measuring " + database +
                             "\nSTATUS=" + target + ": 1 rows, 0 failed, the last in ",
                         0),
              0u)
        << told;
    EXPECT_NE(told.find("STATUS=Outage since "), std::string::npos) << told;
    EXPECT_NE(told.find(" failed, the last in "), told.rfind(" failed, the last in ")) << told;
    EXPECT_NE(told.find("\nSTOPPING=1\nSTATUS=Stopping\n"), std::string::npos) << told;
    EXPECT_GE(pings, 10) << told;
}

// A real Prometheus scrapes the probe every second through a cut, with the credentials the probe asks for: it
// saw quorvane_up fall to 0 and rise again, and the outage seconds it saw grow by what the run itself reports
// as the outage's length (which holds the cut, from the end of the last good cycle to the end of the first
// good one after the re-attach).
TEST_F(Headless, PrometheusSeesTheCutAsDownAndCountsItsSeconds) {
    FaultProxy proxy;
    Launch(proxy.DbName(TestServer::Db1()),
           {"--metrics", QString::fromStdString(PrometheusSetting("QV_TEST_PROMETHEUS_TARGET")), "--target", "cut",
            "--metrics-users", QString::fromStdString(PrometheusSetting("QV_TEST_PROMETHEUS_USERS"))});
    const std::string up = R"(quorvane_up{target="cut"})";
    const std::string outageSeconds = R"(quorvane_outage_seconds_total{target="cut"})";
    ASSERT_TRUE(QTest::qWaitFor([&] { return PrometheusValue(up, UnixNow()) == 1; }, 20000)) << Errors();
    ASSERT_TRUE(WaitForRows(2)) << Errors();
    EXPECT_NE(Errors().find("Metrics on http://" + PrometheusSetting("QV_TEST_PROMETHEUS_TARGET") + "/metrics\n"),
              std::string::npos)
        << Errors();
    // The server the run reached and what it was asked to do, beside the figures.
    EXPECT_EQ(PrometheusValue(R"(quorvane_server_info{target="cut",version=~"[34]\\.[0-9]+\\.[0-9]+\\.[0-9]+"})",
                              UnixNow()),
              1);
    EXPECT_EQ(PrometheusValue(R"(quorvane_amount{target="cut"} * quorvane_running{target="cut"})", UnixNow()), 2);
    const double cutAt = UnixNow();
    proxy.Cut();
    QTest::qWait(8000);
    proxy.Restore();
    const double restoredAt = UnixNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Errors().find("Outage ended at ") != std::string::npos; }, 15000))
        << Errors();
    // A scrape after the recovery, which holds the outage's whole length.
    ASSERT_TRUE(QTest::qWaitFor([&] { return PrometheusValue(up, UnixNow()) == 1; }, 10000)) << Errors();
    const double recoveredAt = UnixNow();
    QProcess check; // what the probe serves is the text format as Prometheus's own tool reads it
    check.start("bash", {"-o", "pipefail", "-c",
                         "python3 -c 'import base64, sys, urllib.request; sys.stdout.write(urllib.request.urlopen("
                         "urllib.request.Request(\"http://\" + sys.argv[1] + \"/metrics\", headers={"
                         "\"Authorization\": \"Basic \" + base64.b64encode(sys.argv[2].encode()).decode()}))"
                         ".read().decode())' \"$0\" \"$1\" | promtool check metrics",
                         QString::fromStdString(PrometheusSetting("QV_TEST_PROMETHEUS_TARGET")),
                         QString::fromStdString(PrometheusSetting("QV_TEST_PROMETHEUS_CREDENTIALS"))});
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                   << check.readAllStandardError().toStdString();
    EndWith(SIGTERM);

    EXPECT_EQ(PrometheusValue("min_over_time(" + up + "[8s])", restoredAt), 0);
    EXPECT_EQ(PrometheusValue(up, recoveredAt), 1);
    const double increase = PrometheusValue(outageSeconds, recoveredAt) - PrometheusValue(outageSeconds, cutAt);
    const std::string errors = Errors();
    const auto after = errors.find(" after ", errors.find("Outage ended at "));
    ASSERT_NE(after, std::string::npos) << errors;
    const double reported = std::stod(errors.substr(after + 7));
    EXPECT_NEAR(increase, reported, 2) << errors;
    EXPECT_GE(increase, restoredAt - cutAt - 1) << errors;
}
