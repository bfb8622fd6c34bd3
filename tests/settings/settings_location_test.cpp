#include "tests/support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A copy of the probe program in <root>/<folder>, read-only when asked, run with the given environment.
class ProbeCopy {
public:
    ProbeCopy(const QString& root, const QString& folder, bool readOnly) : m_dir(root + "/" + folder) {
        QDir().mkpath(m_dir);
        m_exe = m_dir + "/quorvane";
        EXPECT_TRUE(QFile::copy(SETTINGS_PROBE, m_exe));
        QFile::setPermissions(m_exe, QFile::permissions(SETTINGS_PROBE));
        if (readOnly)
            QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);
    }
    ~ProbeCopy() { QFile::setPermissions(m_dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); }

    // What the previous run stored; this run stores `value`.
    std::string Run(const QProcessEnvironment& environment, const QString& value) const {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(m_exe, {value});
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0);
        return process.readAllStandardOutput().toStdString();
    }
    std::string Beside() const { return (m_dir + "/Quorvane.ini").toStdString(); }

private:
    QString m_dir;
    QString m_exe;
};

QProcessEnvironment Environment(const QString& home, const QString& xdgConfigHome) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    if (xdgConfigHome.isEmpty())
        environment.remove("XDG_CONFIG_HOME");
    else
        environment.insert("XDG_CONFIG_HOME", xdgConfigHome);
    return environment;
}
} // namespace

TEST(SettingsLocation, BesideAWritableExecutableElseInTheUsersConfigurationFolder) {
    QTemporaryDir root;
    const QString home = root.path() + "/home";
    const std::string stored = "[Probe]\r\nValue=first\r\n\r\n";
    {
        SCOPED_TRACE("a copy in a folder of its own keeps its settings beside itself");
        const ProbeCopy copy(root.path(), "own", false);
        EXPECT_EQ(copy.Run(Environment(home, root.path() + "/xdg"), "first"), "");
        EXPECT_EQ(copy.Run(Environment(home, root.path() + "/xdg"), "second"), "first");
        EXPECT_EQ(ReadFileBytes(copy.Beside()), "[Probe]\r\nValue=second\r\n\r\n");
        EXPECT_FALSE(QFile::exists(root.path() + "/xdg"));
    }
    {
        SCOPED_TRACE("a read-only folder: $XDG_CONFIG_HOME/quorvane/");
        const ProbeCopy copy(root.path(), "installed", true);
        EXPECT_EQ(copy.Run(Environment(home, root.path() + "/xdg"), "first"), "");
        EXPECT_EQ(copy.Run(Environment(home, root.path() + "/xdg"), "again"), "first");
        EXPECT_EQ(ReadFileBytes((root.path() + "/xdg/quorvane/Quorvane.ini").toStdString()),
                  "[Probe]\r\nValue=again\r\n\r\n");
        EXPECT_EQ(ReadFileBytes(copy.Beside()), "<no file>");
    }
    {
        SCOPED_TRACE("a read-only folder and no XDG_CONFIG_HOME: ~/.config/quorvane/");
        const ProbeCopy copy(root.path(), "installed-too", true);
        EXPECT_EQ(copy.Run(Environment(home, QString()), "first"), "");
        EXPECT_EQ(ReadFileBytes((home + "/.config/quorvane/Quorvane.ini").toStdString()), stored);
        EXPECT_EQ(ReadFileBytes(copy.Beside()), "<no file>");
    }
}
