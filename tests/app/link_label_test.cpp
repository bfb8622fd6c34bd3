// The link labels open their address through the desktop's opener and turn its refusals into messages; the
// window shows escaped errors in one kind of box.
#include "app/escaped_errors.h"
#include "app/link_label.h"
#include "app/main_window.h"
#include "app/open_with_shell.h"
#include "core/error_box.h"
#include "core/platform.h"
#include "modal_watcher.h"
#include "quiet_form.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {
// Puts a fake xdg-open first on PATH that records its argument and ends with the given code.
class FakeOpener {
public:
    explicit FakeOpener(int exitCode) : m_path(qgetenv("PATH")) {
        QFile script(m_dir.filePath("xdg-open"));
        script.open(QIODevice::WriteOnly);
        script.write(QString("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\nexit %2\n")
                         .arg(ArgumentFile())
                         .arg(exitCode)
                         .toUtf8());
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        script.close();
        qputenv("PATH", (m_dir.path() + ":" + m_path).toLocal8Bit());
    }
    ~FakeOpener() { qputenv("PATH", m_path); }

    QString ArgumentFile() const { return m_dir.filePath("argument"); }
    QString Argument() const {
        QFile file(ArgumentFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("<not called>");
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};

std::string RaisedMessage(const std::string& address) {
    try {
        OpenWithShell(nullptr, address);
    } catch (const EMyException& error) {
        return error.Message();
    }
    return {};
}
} // namespace

TEST(OpenWithShell, ShellAnswersMapOntoTheirMessagesAndEverythingElseIsSuccess) {
    EXPECT_EQ(ShellAnswerMessage(0), "The operating system is out of memory or resources.");
    EXPECT_EQ(ShellAnswerMessage(2), "The specified file was not found.");
    EXPECT_EQ(ShellAnswerMessage(11), "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image).");
    EXPECT_EQ(
        ShellAnswerMessage(30),
        "The DDE transaction could not be completed because other DDE transactions were being processed.");
    EXPECT_EQ(ShellAnswerMessage(32), "The specified dynamic-link library was not found.");
    for (int success : {1, 4, 6, 7, 9, 10, 12, 25, 33, 42})
        EXPECT_EQ(ShellAnswerMessage(success), "") << success;
    int messages = 0;
    for (int answer = 0; answer <= 32; ++answer)
        messages += ShellAnswerMessage(answer).empty() ? 0 : 1;
    EXPECT_EQ(messages, 13);
}

TEST(OpenWithShell, OpenerRefusalsRaiseTheClosestMessage) {
    {
        FakeOpener opener(0);
        EXPECT_EQ(RaisedMessage("https://example.org/a b"), "");
        EXPECT_EQ(opener.Argument(), "https://example.org/a b");
    }
    {
        FakeOpener opener(2);
        EXPECT_EQ(RaisedMessage("/no/such/file"), "The specified file was not found.");
    }
    {
        FakeOpener opener(3);
        EXPECT_EQ(RaisedMessage("gopher://x"),
                  "There is no application associated with the given filename extension.");
    }
    {
        FakeOpener opener(4);
        EXPECT_EQ(RaisedMessage("https://x"), "The filename association is incomplete or invalid.");
    }
    QTemporaryDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    EXPECT_EQ(RaisedMessage("https://x"),
              "There is no application associated with the given filename extension.");
    qputenv("PATH", path);
}

TEST(LinkLabel, ClickOpensTheHintOfTheClickedLabelAndShowsARefusalInTheBox) {
    QuietForm form;
    form.show();
    ModalWatcher watcher;
    {
        FakeOpener opener(0);
        QTest::mouseClick(form.lblTessmark(), Qt::LeftButton);
        EXPECT_EQ(opener.Argument(), form.lblTessmark()->Hint());
        EXPECT_TRUE(watcher.Boxes().empty());
    }
    FakeOpener opener(2);
    form.lblCopyright()->SetHint("");
    QTest::mouseClick(form.lblCopyright(), Qt::LeftButton);
    ASSERT_EQ(watcher.Boxes().size(), 1u);
    EXPECT_EQ(watcher.Boxes()[0].text, "The specified file was not found."); // it ends in a full stop already
    EXPECT_EQ(watcher.Boxes()[0].title.toStdString(), ApplicationTitle(ExecutablePath()));
    EXPECT_EQ(watcher.Boxes()[0].icon, QMessageBox::Critical);
}

TEST(LinkLabel, CreditLineOpensTheInstalledReadMeAndTheOtherShowsAndOpensTheProjectsPage) {
    QuietForm form;
    const QUrl readme(form.lblCopyright()->Hint());
    ASSERT_TRUE(readme.isLocalFile()) << readme.toString().toStdString();
    // Found from wherever the executable lies (bin/ beside share/), never a folder of the build.
    const QString exeDirectory = QString::fromStdString(ExecutableDirectory());
    EXPECT_EQ(readme.toLocalFile(), QDir::cleanPath(exeDirectory + "../share/doc/quorvane/README.md"));
    const QUrl page(form.lblTessmark()->Hint());
    EXPECT_EQ(page.scheme(), "https");
    EXPECT_FALSE(page.host().isEmpty());
    EXPECT_EQ(form.lblTessmark()->text(), page.host());
}

TEST(ErrorBox, EscapedErrorsShowTheirMessageUnderTheFullStopRuleAndAbortShowsNothing) {
    ModalWatcher watcher;
    RunShowingErrors(nullptr, [] { throw Exception("Form1.FDB: bad thing"); });
    RunShowingErrors(nullptr, [] { throw Exception("line one\r\n"); });
    RunShowingErrors(nullptr, [] { throw EAbort(); });
    RunShowingErrors(nullptr, [] { throw Exception(std::string("\xc2\xe0\xf1\xff")); }); // CP1251 text
    RunShowingErrors(nullptr, [] {});
    ASSERT_EQ(watcher.Boxes().size(), 3u);
    EXPECT_EQ(watcher.Boxes()[0].text, "Form1.FDB: bad thing.");
    EXPECT_EQ(watcher.Boxes()[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(watcher.Boxes()[1].text, "line one\r\n");
    EXPECT_EQ(watcher.Boxes()[2].text, QString::fromUtf8("Вася."));
}
