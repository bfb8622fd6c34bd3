// The main window's size and entries across runs, through its settings file.
#include "app/escaped_errors.h"
#include "app/form_storage_window.h"
#include "app/labeled_edit.h"
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "settings/app_ini_file_storage.h"
#include "tests/app/modal_watcher.h"
#include "tests/settings/worked_example.h"
#include "tests/support/file_bytes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace std::string_literals;

namespace {
// Closes every message box that opens and remembers its text.
class TBoxWatcher {
public:
    TBoxWatcher() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }
    const QStringList& Texts() const { return m_texts; }

private:
    QTimer m_timer;
    QStringList m_texts;
};

class StoredWindowTest : public testing::Test {
protected:
    // A window reading its settings from the test's directory, on a 1920 x 1080 screen at 96 dpi.
    std::unique_ptr<TForm1> NewWindow(int dpi = 96, TScreenSize screen = {1920, 1080}) const {
        auto form = std::make_unique<TForm1>();
        form->AppIniFileStorage1()->SetLocation(flCustom);
        form->AppIniFileStorage1()->SetCustomDirectory(m_dir.path().toStdString());
        form->FormStorageWindow()->SetScreen(dpi, screen);
        return form;
    }

    static void Show(TForm1& form) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::qWait(20); // a deferred error box comes and goes
    }

    std::string FilePath() const { return m_dir.path().toStdString() + "/Quorvane.ini"; }

    void WriteFile(const std::string& bytes) const { WriteFileBytes(FilePath(), bytes); }
    std::string ReadFile() const { return ReadFileBytes(FilePath()); }

    QTemporaryDir m_dir;
};

TEST_F(StoredWindowTest, AFirstRunAtTheDesignedSizeWritesTheDocumentedFileOnClose) {
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->size(), QSize(649, 383));
    EXPECT_EQ(ReadFile(), "<no file>");
    form->edDBName()->setText("C:\\Data\\TEST.FDB");
    form->edPassword()->setText("secret");
    form->close();
    EXPECT_EQ(ReadFile(), WorkedExampleIni);
    form.reset();
    EXPECT_EQ(ReadFile(), WorkedExampleIni);
}

TEST_F(StoredWindowTest, TheNextRunRestoresTheSizeAndTheEntriesButNeitherPositionNorPassword) {
    {
        auto form = NewWindow();
        Show(*form);
        form->resize(760, 500);
        form->edUser()->setText(QString::fromUtf8("Пользователь"));
        form->edPassword()->setText("secret");
        form->sePeriod()->SetValue(20);
        form->seAmount()->setText("abc");
        form->mSQL()->setPlainText("select 2\nfrom rdb$database\n");
        form->close();
    }
    EXPECT_EQ(ReadFile().find("secret"), std::string::npos);
    EXPECT_NE(ReadFile().find("edUser_Text=\xcf\xee\xeb\xfc\xe7\xee\xe2\xe0\xf2\xe5\xeb\xfc\r\n"),
              std::string::npos);

    auto form = NewWindow();
    form->move(100, 90);
    Show(*form);
    EXPECT_EQ(form->size(), QSize(760, 500));
    EXPECT_EQ(form->pos(), QPoint(100, 90));
    EXPECT_EQ(form->edUser()->text(), QString::fromUtf8("Пользователь"));
    EXPECT_EQ(form->edPassword()->text(), "");
    EXPECT_EQ(form->sePeriod()->text(), "20");
    EXPECT_EQ(form->seAmount()->text(), "1"); // "abc" was saved as its value, the minimum
    EXPECT_EQ(form->mSQL()->toPlainText(), "select 2\nfrom rdb$database");
}

TEST_F(StoredWindowTest, RestoredValuesAreClampedByTheSpinEdits) {
    WriteFile("[Form1]\r\nsePeriod_Value=5000\r\nseAmount_Value=0\r\n[Form1\\mSQL_Lines]\r\nCount=0\r\n");
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->sePeriod()->text(), "3600");
    EXPECT_EQ(form->seAmount()->text(), "1");
    EXPECT_EQ(form->mSQL()->toPlainText(), "");

    form.reset(); // it saves as it goes
    WriteFile("[Form1]\r\nsePeriod_Value=\r\nseAmount_Value=x\r\n");
    form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->sePeriod()->text(), "1");
    EXPECT_EQ(form->seAmount()->text(), "10");
}

TEST_F(StoredWindowTest, ASizeIsRestoredOnlyAtTheSameDpiAndPrefersTheKeyOfTheScreenSize) {
    const std::string sizes = "NormPos(1920x1080)=0,0,800,500\r\nNormPos=10,10,710,460\r\nedUser_Text=ME\r\n";
    WriteFile("[Form1]\r\nPixelsPerInch=120\r\n" + sizes);
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->size(), QSize(649, 383));
    EXPECT_EQ(form->edUser()->text(), "ME");

    form.reset();
    WriteFile("[Form1]\r\nPixelsPerInch=96\r\n" + sizes);
    form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->size(), QSize(800 - 8, 500 - 27));

    form.reset();
    WriteFile("[Form1]\r\nPixelsPerInch=96\r\n" + sizes);
    form = NewWindow(96, {1280, 1024});
    Show(*form);
    EXPECT_EQ(form->size(), QSize(700 - 8, 450 - 27));
}

TEST_F(StoredWindowTest, ANonIntegerFlagsShowsTheConversionErrorAndRestoresNoEntry) {
    WriteFile("[Form1]\r\nFlags=x\r\nNormPos=0,0,800,500\r\nedUser_Text=ME\r\n");
    TBoxWatcher boxes;
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(boxes.Texts(), QStringList{"'x' is not a valid integer value."});
    EXPECT_EQ(form->size(), QSize(649, 383));
    EXPECT_EQ(form->edUser()->text(), "SYSDBA");

    form.reset();
    WriteFile("[Form1]\r\nFormVersion=-1\r\nNormPos=0,0,800,500\r\nedUser_Text=ME\r\n");
    form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->size(), QSize(649, 383));
    EXPECT_EQ(form->edUser()->text(), "SYSDBA");
    EXPECT_EQ(boxes.Texts().size(), 1) << boxes.Texts().join("|").toStdString();
}

TEST_F(StoredWindowTest, AnEntryOutsideTheCodePageIsKeptAcrossRuns) {
    const QString path = QString::fromUtf8("/home/josé/日本.fdb");
    {
        auto form = NewWindow();
        Show(*form);
        form->edDBName()->setText(path);
        form->close();
    }
    EXPECT_EQ(ReadFile().rfind("\xEF\xBB\xBF[Form1]\r\n", 0), 0u);
    EXPECT_NE(ReadFile().find("edDBName_Text=" + path.toStdString() + "\r\n"), std::string::npos);
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->edDBName()->text(), path);
}

TEST_F(StoredWindowTest, AHeightFarBelowZeroGivesTheMinimumHeight) {
    WriteFile("[Form1]\r\nPixelsPerInch=96\r\nNormPos=0,0,800,-2147483640\r\n");
    auto form = NewWindow();
    Show(*form);
    EXPECT_EQ(form->size(), QSize(800 - 8, 383));
}

// Files as users left them: a list count of 2^31 - 1 with two items, and three byte-order marks.
TEST_F(StoredWindowTest, DamagedFilesGiveBackWhatTheyHoldAndAreRewrittenAtTheirSize) {
    WriteFile("[Form1]\r\n[Form1\\mSQL_Lines]\r\nCount=2147483647\r\nItem0=select 1\r\nItem1=from rdb$database\r\n");
    {
        auto form = NewWindow();
        Show(*form);
        EXPECT_EQ(form->mSQL()->toPlainText(), "select 1\nfrom rdb$database");
        form->close();
    }
    EXPECT_LT(ReadFile().size(), 1000u);
    EXPECT_NE(ReadFile().find("Count=2\r\n"), std::string::npos);

    const std::string mark = "\xEF\xBB\xBF";
    WriteFile(mark + mark + mark + "[Form1]\r\nedUser_Text=Marked\r\n");
    {
        auto form = NewWindow();
        Show(*form);
        EXPECT_EQ(form->edUser()->text(), "Marked");
        form->close();
    }
    EXPECT_EQ(ReadFile().rfind("[Form1]\r\n", 0), 0u);
    EXPECT_NE(ReadFile().find("edUser_Text=Marked\r\n"), std::string::npos);

    // A Database text longer than the client can send is kept whole, and Start refuses it; a box with a long
    // word wraps it within the screen.
    const std::string longName = "/srv/" + std::string(65531, 'd');
    WriteFile("[Form1]\r\nedDBName_Text=" + longName + "\r\n");
    {
        auto form = NewWindow();
        Show(*form);
        EXPECT_EQ(form->edDBName()->text().size(), 65536);
        ModalWatcher watcher;
        form->btnStart()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.Boxes().empty(); }, 5000));
        EXPECT_EQ(watcher.Boxes()[0].text, "Form1.FDB: the database name is longer than 32767 bytes.");
        ShowErrorBox(form.get(), "Cannot open \"" + longName.substr(0, 3000) + "\"");
        ASSERT_EQ(watcher.Boxes().size(), 2u);
        EXPECT_EQ(QString(watcher.Boxes()[1].text).remove(QChar(0x200B)).size(), 3000 + 14);
        // A box that needs more than the screen is cut to its width, and its text with it.
        EXPECT_LT(watcher.Boxes()[1].width, form->screen()->availableGeometry().width());
        form->close();
    }
    EXPECT_NE(ReadFile().find("edDBName_Text=" + longName + "\r\n"), std::string::npos);
}

TEST_F(StoredWindowTest, BadSettingsFilesNeverStopTheWindowAndShowAtMostOneError) {
    std::string random(4096, '\0');
    QRandomGenerator generator(20261209);
    for (char& byte : random)
        byte = static_cast<char>(generator.bounded(256));
    std::string huge = "[Form1]\r\nedUser_Text=BIG\r\n[Form1\\mSQL_Lines]\r\nCount=2000000000\r\n";
    while (huge.size() < 10 * 1024 * 1024)
        huge += "Item" + std::to_string(huge.size()) + "=select 1 from rdb$database\r\n";
    const std::vector<std::pair<const char*, std::string>> files = {
        {"random bytes", random},
        {"10 MB", huge},
        {"a NUL byte", "[Form1]\r\nedUser_Text=A\0B\r\nNormPos=0,0,\0,9\r\nsePeriod_Value=2\0\r\n"s},
        {"only [", "["},
        {"absurd sizes", "[Form1]\r\nNormPos=0,0,2147483647,2147483647\r\nMinMaxPos=x\r\n"},
    };
    for (const auto& [name, bytes] : files) {
        WriteFile(bytes);
        TBoxWatcher boxes;
        auto form = NewWindow();
        Show(*form);
        EXPECT_LE(boxes.Texts().size(), 1) << name;
        EXPECT_LE(form->width(), 16384) << name;
        form->close();
        form.reset();
        EXPECT_LE(boxes.Texts().size(), 1) << name;
        if (bytes.find('\0') == std::string::npos)
            EXPECT_NE(ReadFile().find("edUser_Text="), std::string::npos) << name;
        else
            EXPECT_EQ(ReadFile(), bytes) << name << ": a file that is not a text of the program is kept";
    }
}

// A file the program cannot read as its text (UTF-16 as an editor saved it, NUL bytes, a UTF-8 mark before
// bytes that are not UTF-8) is never overwritten: the window runs on its defaults and says so once.
TEST_F(StoredWindowTest, ASettingsFileThatIsNotTheProgramsTextIsKeptAsItWas) {
    const QString text = "[Form1]\r\nedUser_Text=Пётр\r\nsePeriod_Value=7\r\n";
    const std::vector<std::pair<const char*, std::string>> files = {
        {"UTF-16", "\xFF\xFE"s + std::string(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)},
        {"a NUL byte", "[Form1]\r\nedUser_Text=A\0B\r\n"s},
        {"a UTF-8 mark before CP1251", "\xEF\xBB\xBF[Form1]\r\nedUser_Text=\xCF\xB8\xF2\xF0\r\n"},
    };
    for (const auto& [name, bytes] : files) {
        WriteFile(bytes);
        TBoxWatcher boxes;
        auto form = NewWindow();
        Show(*form);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Texts().isEmpty(); }, 2000)) << name;
        EXPECT_EQ(QString(boxes.Texts().front()).remove(QChar(0x200B)),
                  "The settings file \"" + QString::fromStdString(FilePath()) +
                      "\" cannot be read; it is kept as it was, and the window starts with its defaults.")
            << name;
        EXPECT_EQ(form->edUser()->text(), "SYSDBA") << name;
        EXPECT_EQ(form->sePeriod()->Value(), 10) << name;
        form->edUser()->setText("typed");
        form->close();
        form.reset();
        EXPECT_EQ(boxes.Texts().size(), 1) << name;
        EXPECT_EQ(ReadFile(), bytes) << name;
    }
}
} // namespace
