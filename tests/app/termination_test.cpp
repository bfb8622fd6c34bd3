// The real executable, copied into a folder of its own (so its settings file lies there), ended by each
// termination signal: before Start, during a run on the server and during a run on an embedded database.
// A small module put into it (start_on_show_preload.cpp) presses Start and tells when the window is up.
#include "tests/support/fault_proxy.h"
#include "tests/support/file_bytes.h"
#include "tests/support/test_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

namespace {

class Termination : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QUORVANE_EXECUTABLE, Executable()));
    }
    ~Termination() override {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
    }

    QString Executable() const { return m_dir.filePath("quorvane"); }
    std::string Settings() const { return ReadFileBytes(m_dir.filePath("Quorvane.ini").toStdString()); }

    // Starts the program; with a database it presses Start on it.
    void Launch(const std::string& database = {}) {
        QFile::remove(m_dir.filePath("Quorvane.ini"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LD_PRELOAD", START_ON_SHOW_PRELOAD);
        // Under AddressSanitizer the module comes before its runtime; that order is harmless here.
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        if (!database.empty()) {
            environment.insert("QV_START_DATABASE", QString::fromStdString(database));
            environment.insert("QV_START_USER", QString::fromStdString(TestServer::User()));
            environment.insert("QV_START_PASSWORD", QString::fromStdString(TestServer::Password()));
            environment.insert("QV_START_PERIOD", "1");
        }
        m_program.setProcessEnvironment(environment);
        m_program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_program.start(Executable(), {});
        ASSERT_TRUE(m_program.waitForStarted());
    }

    bool WaitForLine(const QByteArray& line, int milliseconds) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < milliseconds) {
            while (m_program.canReadLine())
                if (m_program.readLine().trimmed() == line)
                    return true;
            if (m_program.state() == QProcess::NotRunning)
                return false;
            m_program.waitForReadyRead(100);
        }
        return false;
    }

    // The signal ends the program within 3 s, normally and with status 0.
    void EndWith(int signalNumber) {
        // A program that has ended already has no id; kill(0) would end this test's own process group.
        ASSERT_GT(m_program.processId(), 0) << "the program ended before signal " << signalNumber << ": "
                                            << m_program.exitCode();
        ::kill(static_cast<pid_t>(m_program.processId()), signalNumber);
        ASSERT_TRUE(m_program.waitForFinished(3000)) << "still running 3 s after signal " << signalNumber;
        EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit) << "signal " << signalNumber;
        EXPECT_EQ(m_program.exitCode(), 0) << "signal " << signalNumber;
    }

    void ExpectCompleteSettings(const std::string& database) {
        const std::string settings = Settings();
        EXPECT_EQ(settings.rfind("[Form1]\r\n", 0), 0u) << settings;
        EXPECT_NE(settings.find("edDBName_Text=" + database + "\r\n"), std::string::npos) << settings;
        EXPECT_NE(settings.find("[Form1\\mSQL_Lines]\r\nCount=1\r\nItem0=select 1 from rdb$database\r\n"),
                  std::string::npos)
            << settings;
    }

    QTemporaryDir m_dir;
    QProcess m_program;
};

const int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

TEST_F(Termination, EachSignalBeforeStartEndsTheProgramAsClosingItDoes) {
    for (const int signalNumber : kTerminationSignals) {
        Launch();
        ASSERT_TRUE(WaitForLine("shown", 10000));
        EndWith(signalNumber);
        ExpectCompleteSettings("");
    }
}

// The client library catches SIGINT and SIGTERM once in use and shut itself down under the run (a crash).
TEST_F(Termination, EachSignalDuringARunOnTheServerEndsTheProgramAsClosingItDoes) {
    for (const int signalNumber : kTerminationSignals) {
        Launch(TestServer::Db1());
        ASSERT_TRUE(WaitForLine("running", 15000));
        QTest::qWait(1500); // a cycle or so
        EndWith(signalNumber);
        ExpectCompleteSettings(TestServer::Db1());
        EXPECT_EQ(Settings().find(TestServer::Password()), std::string::npos) << "the password is never stored";
    }
}

// A link that stops answering holds a call of the run; the window does not wait for it, and neither does
// the end of the program, at whatever moment of the freeze it comes (the cycle's call, the calls that handle
// its loss, the restore attempts after it).
TEST_F(Termination, ASignalAtAnyMomentOfAFrozenLinkEndsTheProgramWithinThreeSeconds) {
    FaultProxy proxy;
    int signalNumber = SIGTERM;
    for (const int intoTheFreezeMs : {300, 1500, 2500, 4500, 7000}) {
        signalNumber = signalNumber == SIGTERM ? SIGINT : SIGTERM;
        Launch(proxy.DbName(TestServer::Db1()));
        ASSERT_TRUE(WaitForLine("running", 15000));
        proxy.Freeze();
        QTest::qWait(intoTheFreezeMs);
        EndWith(signalNumber);
        ExpectCompleteSettings(proxy.DbName(TestServer::Db1()));
        proxy.Restore();
    }
}

// On an embedded database the signals used to be swallowed.
TEST_F(Termination, ASignalDuringARunOnAnEmbeddedDatabaseEndsTheProgram) {
    const std::string database = QDir(m_dir.path()).filePath("embedded.fdb").toStdString();
    TestServer::Isql("", "create database '" + database + "' user '" + TestServer::User() +
                             "' default character set WIN1251;");
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        Launch(database);
        ASSERT_TRUE(WaitForLine("running", 15000));
        QTest::qWait(1500);
        EndWith(signalNumber);
        ExpectCompleteSettings(database);
    }
}

} // namespace
