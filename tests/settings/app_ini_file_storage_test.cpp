#include "settings/app_ini_file_storage.h"
#include "settings/ini_file_text.h"

#include "core/exceptions.h"
#include "core/platform.h"
#include "tests/support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {
class IniStorageTest : public testing::Test {
protected:
    IniStorageTest() {
        m_storage.SetLocation(flCustom);
        m_storage.SetCustomDirectory(m_dir.path().toStdString());
        m_storage.SetFileName("Quorvane.ini");
        m_storage.SetDefaultSection("System");
        m_storage.SetAutoReload(true);
        m_storage.SetAutoFlush(true);
        m_storage.SetFlushOnDestroy(false);
    }

    std::string FilePath() const { return m_storage.FullFileName(); }

    void WriteFile(const std::string& bytes) const { WriteFileBytes(FilePath(), bytes); }
    std::string ReadFile() const { return ReadFileBytes(FilePath()); }

    QTemporaryDir m_dir;
    TAppIniFileStorage m_storage;
};

TEST(IniStorageFileName, LiesBesideTheExecutableWithIniAddedAndDirectoryIgnored) {
    TAppIniFileStorage storage;
    EXPECT_EQ(storage.FullFileName(), "");
    storage.SetFileName("Quorvane");
    EXPECT_EQ(storage.FullFileName(), ExecutableDirectory() + "Quorvane.ini");
    storage.SetFileName("/etc/other/Quorvane.cfg");
    EXPECT_EQ(storage.FullFileName(), ExecutableDirectory() + "Quorvane.cfg");
    storage.SetFileName("C:\\Data\\Quorvane.ini");
    EXPECT_EQ(storage.FullFileName(), ExecutableDirectory() + "Quorvane.ini");
}

TEST_F(IniStorageTest, NoFileReadsDefaultsAndTheFirstWriteCreatesItAndItsDirectory) {
    m_storage.SetCustomDirectory(m_dir.path().toStdString() + "/not/yet");
    EXPECT_FALSE(m_storage.HasValue("Form1\\FormVersion"));
    EXPECT_FALSE(m_storage.HasSection("Form1"));
    EXPECT_EQ(m_storage.GetString("Form1\\edUser_Text", "SYSDBA"), "SYSDBA");
    EXPECT_EQ(m_storage.GetInteger("Form1\\FormVersion", 7), 7);
    EXPECT_TRUE(m_storage.GetBoolean("Form1\\Flag", true));
    std::vector<std::string> list{"old"};
    EXPECT_EQ(m_storage.GetStringList("Form1\\mSQL_Lines", list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ReadFile(), "<no file>");

    m_storage.SetInteger("Form1\\FormVersion", 0);
    EXPECT_EQ(ReadFile(), "[Form1]\r\nFormVersion=0\r\n\r\n");
}

TEST_F(IniStorageTest, ReadingTrimsLinesAndTheNextWriteDropsCommentsAndLinesBeforeTheFirstSection) {
    WriteFile("stray line\r\n; comment\n  [ Form1 ]  \r  Key  =  some value \t\r\n;another\r\n\r\n"
              "bare key\r\n[Other]\nA=1");
    EXPECT_EQ(m_storage.GetString("Form1\\Key", ""), "some value");
    EXPECT_TRUE(m_storage.HasValue("Form1\\bare key"));
    EXPECT_EQ(m_storage.GetString("Form1\\bare key", "x"), "");
    EXPECT_FALSE(m_storage.HasValue("Form1\\stray line"));

    m_storage.SetString("Other\\B", "2");
    EXPECT_EQ(ReadFile(), "[Form1]\r\nKey=some value\r\nbare key\r\n\r\n[Other]\r\nA=1\r\nB=2\r\n\r\n");
}

TEST_F(IniStorageTest, NamesMatchWithoutCaseAndTheLastOccurrenceCounts) {
    WriteFile("[FORM1]\r\nEDUSER_TEXT=first\r\nOther=o\r\nEdUser_Text=second\r\n"
              "[form1]\r\nLate=yes\r\n");
    // The second [form1] hides the first one.
    EXPECT_FALSE(m_storage.HasValue("Form1\\edUser_Text"));
    EXPECT_EQ(m_storage.GetString("FoRm1\\late", ""), "yes");

    WriteFile("[FORM1]\r\nEDUSER_TEXT=first\r\nOther=o\r\nEdUser_Text=second\r\n");
    EXPECT_EQ(m_storage.GetString("Form1\\edUser_Text", ""), "second");
    m_storage.SetString("form1\\EDUSER_TEXT", "third");
    EXPECT_EQ(ReadFile(), "[FORM1]\r\nEDUSER_TEXT=first\r\nOther=o\r\nEDUSER_TEXT=third\r\n\r\n");
    m_storage.SetString("Form1\\New", "n");
    m_storage.SetString("Later\\K", "v");
    EXPECT_EQ(ReadFile(), "[FORM1]\r\nEDUSER_TEXT=first\r\nOther=o\r\nEDUSER_TEXT=third\r\nNew=n\r\n\r\n["
                          "Later]\r\nK=v\r\n\r\n");
}

TEST_F(IniStorageTest, PathsIgnoreEmptySegmentsAndFallBackToTheDefaultSection) {
    m_storage.SetString("\\Form1\\\\mSQL_Lines\\Count\\", "1");
    m_storage.SetString("Count", "2");
    m_storage.SetString(".Sub\\Key", "3");
    EXPECT_EQ(ReadFile(), "[Form1\\mSQL_Lines]\r\nCount=1\r\n\r\n[System]\r\nCount=2\r\n\r\n"
                          "[System.Sub]\r\nKey=3\r\n\r\n");
    EXPECT_TRUE(m_storage.HasSection("Form1\\mSQL_Lines"));

    m_storage.SetDefaultSection("");
    try {
        m_storage.GetString("Count", "");
        FAIL() << "no error for a path without a section";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TAppIniFileStorage.ReadValue: Section undefined");
    }
    EXPECT_THROW(m_storage.SetString(".Sub\\Key", "4"), Exception);
    EXPECT_EQ(m_storage.GetString("Form1\\mSQL_Lines\\Count", ""), "1");
}

TEST_F(IniStorageTest, IntegersAndBooleansConvertAsStoredTexts) {
    WriteFile("[S]\r\nBad=abc\r\nEmpty=\r\nNeg=-1\r\nHex=$10\r\n"
              "T1=yes\r\nT2=y\r\nF1=No\r\nNum=2\r\nZero=0\r\nOdd=maybe\r\n");
    try {
        m_storage.GetInteger("S\\Bad", 5);
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
    EXPECT_EQ(m_storage.GetInteger("S\\Empty", 5), 0);
    EXPECT_EQ(m_storage.GetInteger("S\\Neg", 5), -1);
    EXPECT_EQ(m_storage.GetInteger("S\\Hex", 5), 16);
    EXPECT_TRUE(m_storage.GetBoolean("S\\T1", false));
    EXPECT_TRUE(m_storage.GetBoolean("S\\T2", false));
    EXPECT_FALSE(m_storage.GetBoolean("S\\F1", true));
    EXPECT_TRUE(m_storage.GetBoolean("S\\Num", false));
    EXPECT_FALSE(m_storage.GetBoolean("S\\Zero", true));
    EXPECT_FALSE(m_storage.GetBoolean("S\\Empty", true));
    EXPECT_THROW(m_storage.GetBoolean("S\\Odd", true), EConvertError);

    WriteFile("");
    m_storage.SetBoolean("S\\On", true);
    m_storage.SetBoolean("S\\Off", false);
    m_storage.SetInteger("S\\Min", INT32_MIN);
    EXPECT_EQ(ReadFile(), "[S]\r\nOn=TRUE\r\nOff=FALSE\r\nMin=-2147483648\r\n\r\n");
}

TEST_F(IniStorageTest, AListOfTwoOverFiveRemovesTheStaleItems) {
    m_storage.SetStringList("Form1\\mSQL_Lines", {"a", "b", "c", "d", "e"});
    m_storage.SetStringList("Form1\\mSQL_Lines", {"select 1", "from rdb$database"});
    EXPECT_EQ(ReadFile(),
              "[Form1\\mSQL_Lines]\r\nCount=2\r\nItem0=select 1\r\nItem1=from rdb$database\r\n\r\n");
    std::vector<std::string> list;
    EXPECT_EQ(m_storage.GetStringList("Form1\\mSQL_Lines", list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{"select 1", "from rdb$database"}));

    m_storage.SetStringList("Form1\\mSQL_Lines", {});
    EXPECT_EQ(ReadFile(), "[Form1\\mSQL_Lines]\r\nCount=0\r\n\r\n");
    list = {"x"};
    EXPECT_EQ(m_storage.GetStringList("Form1\\mSQL_Lines", list), 0);
    EXPECT_TRUE(list.empty());
}

TEST_F(IniStorageTest, AListReadsMissingItemsEmptyAndSurvivesADamagedCount) {
    WriteFile("[L]\r\nCount=3\r\nItem0=a\r\nItem2=c\r\nItem7=stale\r\nItem02=odd\r\n"
              "[Huge]\r\nCount=2000000000\r\nItem0=only\r\n"
              "[Far]\r\nCount=2000000000\r\nItem1999999999=far\r\n"
              "[Bad]\r\nCount=x\r\nItem0=a\r\nItem1=b\r\n"
              "[S]\r\nPlain=one line\r\n");
    std::vector<std::string> list;
    EXPECT_EQ(m_storage.GetStringList("L", list), 3);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "", "c"}));
    // A count beyond any real list reads the items up to the last one present.
    EXPECT_EQ(m_storage.GetStringList("Huge", list), 1);
    EXPECT_EQ(list, std::vector<std::string>{"only"});
    // and a million at most, however far the last one lies.
    EXPECT_EQ(m_storage.GetStringList("Far", list), 0);
    EXPECT_THROW(m_storage.GetStringList("Bad", list), EConvertError);
    EXPECT_EQ(m_storage.GetStringList("S\\Plain", list), 1);
    EXPECT_EQ(list, std::vector<std::string>{"one line"});

    // Rewriting a list whose count is not a number still saves it, without stale items.
    m_storage.SetStringList("Bad", {"z"});
    m_storage.SetStringList("L", {"p"});
    EXPECT_EQ(m_storage.GetStringList("Bad", list), 1);
    EXPECT_EQ(list, std::vector<std::string>{"z"});
    const std::string text = ReadFile();
    EXPECT_NE(text.find("[L]\r\nCount=1\r\nItem0=p\r\nItem02=odd\r\n\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Bad]\r\nCount=1\r\nItem0=z\r\n\r\n"), std::string::npos) << text;
}

TEST_F(IniStorageTest, AFolderNamedOutsideTheCodePageHoldsTheFile) {
    const std::string folder = m_dir.path().toStdString() + "/josé/日本";
    m_storage.SetCustomDirectory(folder);
    m_storage.SetString("S\\A", "1");
    EXPECT_EQ(ReadFileBytes(folder + "/Quorvane.ini"), "[S]\r\nA=1\r\n\r\n");
    EXPECT_EQ(m_storage.GetString("S\\A", ""), "1");
}

TEST_F(IniStorageTest, AListEndsAtItsCountOrAtItsLastItemPresent) {
    WriteFile("[Three]\r\nCount=3\r\nItem2=third\r\n[Five]\r\nCount=5\r\nItem0=a\r\nItem1=b\r\n"
              "[Negative]\r\nCount=-4\r\nItem0=a\r\n");
    std::vector<std::string> list;
    EXPECT_EQ(m_storage.GetStringList("Three", list), 3);
    EXPECT_EQ(list, (std::vector<std::string>{"", "", "third"}));
    EXPECT_EQ(m_storage.GetStringList("Five", list), 2);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(m_storage.GetStringList("Negative", list), 0);
}

TEST_F(IniStorageTest, RemoveValueDeletesTheKeyOrElseTheSectionOfThatName) {
    WriteFile("[A]\r\nK=1\r\nK=2\r\nJ=3\r\n[A\\List]\r\nCount=0\r\n");
    m_storage.RemoveValue("A\\K");
    EXPECT_EQ(ReadFile(), "[A]\r\nJ=3\r\n\r\n[A\\List]\r\nCount=0\r\n\r\n");
    m_storage.RemoveValue("A\\List");
    EXPECT_EQ(ReadFile(), "[A]\r\nJ=3\r\n\r\n");
    m_storage.RemoveValue("A\\Missing");
    EXPECT_EQ(ReadFile(), "[A]\r\nJ=3\r\n\r\n");
}

TEST_F(IniStorageTest, AReadOnlyFileIsReadButNeverChanged) {
    const std::string original = "; keep me\r\n[Form1]\r\nedUser_Text=ME\r\n";
    WriteFile(original);
    ASSERT_EQ(chmod(FilePath().c_str(), 0444), 0);
    EXPECT_TRUE(m_storage.IsReadOnly());
    EXPECT_EQ(m_storage.GetString("Form1\\edUser_Text", ""), "ME");

    m_storage.SetString("Form1\\edUser_Text", "OTHER");
    m_storage.SetStringList("Form1\\mSQL_Lines", {"x"});
    m_storage.RemoveValue("Form1\\edUser_Text");
    m_storage.SaveToDisk();
    EXPECT_EQ(m_storage.Document().Text(), "[Form1]\r\nedUser_Text=ME\r\n\r\n");
    EXPECT_EQ(ReadFile(), original);

    ASSERT_EQ(chmod(FilePath().c_str(), 0644), 0);
    m_storage.SetReadOnly(true);
    m_storage.SetString("Form1\\edUser_Text", "OTHER");
    EXPECT_EQ(ReadFile(), original);
}

TEST_F(IniStorageTest, ReloadFlushAndDestroyFollowTheirSwitches) {
    m_storage.SetString("S\\A", "1");
    WriteFile("[S]\r\nA=edited elsewhere\r\n");
    EXPECT_EQ(m_storage.GetString("S\\A", ""), "edited elsewhere");

    m_storage.SetAutoReload(false);
    m_storage.SetAutoFlush(false);
    WriteFile("[S]\r\nA=second edit\r\n");
    m_storage.SetString("S\\B", "2");
    EXPECT_EQ(ReadFile(), "[S]\r\nA=second edit\r\n");
    EXPECT_EQ(m_storage.GetString("S\\A", ""), "edited elsewhere");
    m_storage.SaveToDisk();
    EXPECT_EQ(ReadFile(), "[S]\r\nA=edited elsewhere\r\nB=2\r\n\r\n");

    {
        TAppIniFileStorage last;
        last.SetLocation(flCustom);
        last.SetCustomDirectory(m_dir.path().toStdString());
        last.SetFileName("Quorvane.ini");
        last.LoadFromDisk();
        last.SetString("S\\C", "3");
        EXPECT_EQ(ReadFile(), "[S]\r\nA=edited elsewhere\r\nB=2\r\n\r\n");
    }
    EXPECT_EQ(ReadFile(), "[S]\r\nA=edited elsewhere\r\nB=2\r\nC=3\r\n\r\n");
}

// A file with a NUL byte is no text of the program (UTF-16 has them, a binary file too): it is not read, and
// no write replaces it.
TEST_F(IniStorageTest, CodePageBytesAreWrittenBackExactlyAndAFileWithANulByteIsKept) {
    const std::string cyrillic = "\xcf\xf0\xe8\xe2\xe5\xf2"; // CP1251
    WriteFile("[S]\r\nText=ab\r\n"s + "Name=" + cyrillic + "\r\nOdd=\x98\r\n");
    EXPECT_EQ(m_storage.GetString("S\\Text", ""), "ab");
    EXPECT_EQ(m_storage.GetString("S\\Name", ""), "Привет");
    m_storage.SetString("S\\More", "я");
    EXPECT_EQ(ReadFile(), "[S]\r\nText=ab\r\nName="s + cyrillic + "\r\nOdd=\x98\r\nMore=\xff\r\n\r\n");
    EXPECT_FALSE(m_storage.Unreadable());

    const std::string withNul = "[S]\r\nText=a\0b\r\nName="s + cyrillic + "\r\n";
    WriteFile(withNul);
    EXPECT_EQ(m_storage.GetString("S\\Name", "default"), "default");
    EXPECT_TRUE(m_storage.Unreadable());
    m_storage.SetString("S\\More", "я");
    m_storage.SaveToDisk();
    EXPECT_EQ(ReadFile(), withNul);
}

TEST_F(IniStorageTest, AByteOrderMarkMeansUtf8AndTextsOutsideTheCodePageAreKept) {
    const std::string mark = "\xEF\xBB\xBF";
    // An editor's UTF-8 file: its first section is found and the rewrite keeps every entry.
    WriteFile(mark + "[Form1]\r\nedDBName_Text=/home/josé/db.fdb\r\nedUser_Text=Пользователь\r\n");
    EXPECT_EQ(m_storage.GetString("Form1\\edDBName_Text", ""), "/home/josé/db.fdb");
    EXPECT_EQ(m_storage.GetString("Form1\\edUser_Text", ""), "Пользователь");
    m_storage.SetInteger("Form1\\sePeriod_Value", 10);
    EXPECT_EQ(ReadFile(), mark + "[Form1]\r\nedDBName_Text=/home/josé/db.fdb\r\nedUser_Text=Пользователь\r\n"
                                 "sePeriod_Value=10\r\n\r\n");

    // Once nothing needs more than the code page, the file is CP1251 again, exactly as always.
    m_storage.SetString("Form1\\edDBName_Text", "/home/db.fdb");
    EXPECT_EQ(ReadFile(), "[Form1]\r\nedDBName_Text=/home/db.fdb\r\n"
                          "edUser_Text=\xcf\xee\xeb\xfc\xe7\xee\xe2\xe0\xf2\xe5\xeb\xfc\r\n"
                          "sePeriod_Value=10\r\n\r\n");

    m_storage.SetStringList("Form1\\mSQL_Lines", {"select '日' from rdb$database"});
    std::vector<std::string> lines;
    EXPECT_EQ(m_storage.GetStringList("Form1\\mSQL_Lines", lines), 1);
    EXPECT_EQ(lines, std::vector<std::string>{"select '日' from rdb$database"});
    EXPECT_EQ(ReadFile().rfind(mark, 0), 0u);

    // Saved by two editors that each added a mark: every entry is read, and the rewrite needs none.
    WriteFile(mark + mark + mark + "[Form1]\r\nedUser_Text=A\r\n");
    EXPECT_EQ(m_storage.GetString("Form1\\edUser_Text", ""), "A");
    m_storage.SetString("Form1\\edUser_Text", "B");
    EXPECT_EQ(ReadFile(), "[Form1]\r\nedUser_Text=B\r\n\r\n");
    // The file's codec strips its own mark only: a text that begins with U+FEFF comes back as it went.
    EXPECT_EQ(IniTextFromFileBytes(IniFileBytesFromText(mark + "x")), mark + "x");
}

TEST_F(IniStorageTest, ARewriteReplacesTheFileInsteadOfOverwritingIt) {
    WriteFile("[S]\r\nA=1\r\n");
    // A second name for the old file keeps its bytes only when the rewrite went to a new file.
    const std::string oldName = m_dir.path().toStdString() + "/old-link";
    ASSERT_EQ(link(FilePath().c_str(), oldName.c_str()), 0);
    m_storage.SetString("S\\A", "2");
    EXPECT_EQ(ReadFile(), "[S]\r\nA=2\r\n\r\n");
    QFile old(QString::fromStdString(oldName));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll().toStdString(), "[S]\r\nA=1\r\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2) << "a temporary file was left behind";
}
} // namespace
