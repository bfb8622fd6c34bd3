#include "settings/form_storage.h"
#include "tests/settings/worked_example.h"
#include "tests/support/file_bytes.h"

#include "core/exceptions.h"
#include "settings/app_ini_file_storage.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

namespace {
// A window as the storage sees it: the designed placement and entries of the tester's main window.
class TFakeForm : public TStorableForm {
public:
    std::string FormName() const override { return "Form1"; }
    TWindowPlacement Placement() const override { return m_placement; }
    void SetPlacement(const TWindowPlacement& placement) override {
        m_placement = placement;
        ++m_placementsApplied;
    }
    int ScreenPixelsPerInch() const override { return m_dpi; }
    TScreenSize ScreenSize() const override { return m_screen; }
    std::optional<std::string> PropertyName(const std::string& component,
                                            const std::string& property) const override {
        const std::string declared = component == "mSQL" ? "Lines" : component[0] == 's' ? "Value" : "Text";
        if (!m_values.count(component + "." + declared))
            return std::nullopt;
        QString a = QString::fromStdString(property), b = QString::fromStdString(declared);
        return a.compare(b, Qt::CaseInsensitive) == 0 ? std::optional(declared) : std::nullopt;
    }
    TStoredValue PropertyValue(const std::string& component, const std::string& property) const override {
        return m_values.at(component + "." + property);
    }
    void SetPropertyValue(const std::string& component, const std::string& property,
                          const TStoredValue& value) override {
        m_values[component + "." + property] = value;
    }

    TWindowPlacement m_placement{0, {-1, -1}, {-1, -1}, {307, 107, 964, 517}};
    int m_dpi = 96;
    TScreenSize m_screen{1920, 1080};
    int m_placementsApplied = 0;
    std::map<std::string, TStoredValue> m_values{
        {"edDBName.Text", std::string()},
        {"edUser.Text", std::string("SYSDBA")},
        {"sePeriod.Value", int32_t{10}},
        {"seAmount.Value", int32_t{10}},
        {"mSQL.Lines", std::vector<std::string>{"select 1 from rdb$database"}},
    };
};

class FormStorageTest : public testing::Test {
protected:
    FormStorageTest() {
        m_ini.SetLocation(flCustom);
        m_ini.SetCustomDirectory(m_dir.path().toStdString());
        m_ini.SetFileName("Quorvane.ini");
        m_ini.SetDefaultSection("System");
        m_ini.SetAutoReload(true);
        m_ini.SetAutoFlush(true);
        m_ini.SetFlushOnDestroy(false);
        m_storage.SetAppStorage(&m_ini);
        m_storage.SetAppStoragePath("%FORM_NAME%\\");
        m_storage.SetStoredProps(
            {"edDBName.Text", "edUser.Text", "sePeriod.Value", "seAmount.Value", "mSQL.Lines"});
        m_storage.SetForm(&m_form);
    }

    void WriteFile(const std::string& bytes) const { WriteFileBytes(m_ini.FullFileName(), bytes); }
    std::string ReadFile() const { return ReadFileBytes(m_ini.FullFileName()); }

    // Restores into a fresh window showing the designed values.
    TFakeForm Restored() {
        TFakeForm form;
        m_storage.SetForm(&form);
        m_storage.RestorePlacement();
        m_storage.SetForm(&m_form);
        return form;
    }

    QTemporaryDir m_dir;
    TAppIniFileStorage m_ini;
    TFormStorage m_storage;
    TFakeForm m_form;
};

TEST_F(FormStorageTest, AFirstRunRestoresNothingAndClosingWritesTheDocumentedFile) {
    m_storage.FormShow();
    EXPECT_EQ(m_form.m_placementsApplied, 0);
    EXPECT_EQ(ReadFile(), "<no file>");
    m_form.m_values["edDBName.Text"] = std::string("C:\\Data\\TEST.FDB");
    m_storage.FormCloseQuery(true);
    EXPECT_EQ(ReadFile(), WorkedExampleIni);

    // Later runs keep every key in its place.
    m_form.m_values["sePeriod.Value"] = int32_t{20};
    m_storage.SavePlacement();
    std::string expected = WorkedExampleIni;
    expected.replace(expected.find("sePeriod_Value=10"), 17, "sePeriod_Value=20");
    EXPECT_EQ(ReadFile(), expected);
}

TEST_F(FormStorageTest, RestoringAppliesTheStoredSizeAtTheCurrentPositionAndTheEntries) {
    WriteFile("[Form1]\r\nNormPos=100,50,900,650\r\nPixelsPerInch=96\r\nMinMaxPos=1,2,3,4\r\n"
              "edDBName_Text=srv:/db.fdb\r\nedUser_Text=\r\nsePeriod_Value=5000\r\nseAmount_Value=0\r\n"
              "[Form1\\mSQL_Lines]\r\nCount=2\r\nItem0=select 2\r\nItem1=from x\r\n");
    const TFakeForm form = Restored();
    EXPECT_EQ(form.m_placementsApplied, 1);
    const TPlacementRect rect = form.m_placement.NormalPosition;
    EXPECT_EQ((std::vector<int>{rect.Left, rect.Top, rect.Right, rect.Bottom}),
              (std::vector<int>{307, 107, 1107, 707}));
    EXPECT_EQ(form.m_placement.MaxPosition.X, 3);
    EXPECT_EQ(form.m_placement.MaxPosition.Y, 4);
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edDBName.Text")), "srv:/db.fdb");
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "");
    // The window clamps; the storage hands over what is stored.
    EXPECT_EQ(std::get<int32_t>(form.m_values.at("sePeriod.Value")), 5000);
    EXPECT_EQ(std::get<int32_t>(form.m_values.at("seAmount.Value")), 0);
    EXPECT_EQ(std::get<std::vector<std::string>>(form.m_values.at("mSQL.Lines")),
              (std::vector<std::string>{"select 2", "from x"}));
}

TEST_F(FormStorageTest, AnOlderVersionRestoresNothing) {
    WriteFile("[Form1]\r\nFormVersion=-1\r\nNormPos=0,0,100,100\r\nedUser_Text=ME\r\n");
    const TFakeForm form = Restored();
    EXPECT_EQ(form.m_placementsApplied, 0);
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "SYSDBA");
}

TEST_F(FormStorageTest, ASizeFromAnotherDpiIsIgnoredButTheEntriesAreRestored) {
    WriteFile("[Form1]\r\nPixelsPerInch=120\r\nNormPos=0,0,100,100\r\nedUser_Text=ME\r\n");
    TFakeForm form = Restored();
    EXPECT_EQ(form.m_placementsApplied, 0);
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "ME");

    // Without PixelsPerInch the current dpi is assumed.
    WriteFile("[Form1]\r\nNormPos=0,0,700,400\r\n");
    form = Restored();
    EXPECT_EQ(form.m_placementsApplied, 1);
    EXPECT_EQ(form.m_placement.NormalPosition.Right, 307 + 700);
}

TEST_F(FormStorageTest, TheKeyOfTheCurrentScreenSizeWinsOverThePlainOne) {
    WriteFile("[Form1]\r\nNormPos(1920x1080)=0,0,800,600\r\nNormPos=0,0,700,500\r\n");
    TFakeForm form = Restored();
    EXPECT_EQ(form.m_placement.NormalPosition.Right, 307 + 800);

    m_form.m_screen = {1280, 1024};
    form.m_screen = {1280, 1024};
    m_storage.SetForm(&form);
    m_storage.RestorePlacement();
    EXPECT_EQ(form.m_placement.NormalPosition.Right, 307 + 700);
    EXPECT_EQ(form.m_placement.NormalPosition.Bottom, 107 + 500);
}

TEST_F(FormStorageTest, DamagedPositionsLeaveTheSizeAsItIs) {
    for (const char* norm : {"abc", "1,2,x,4", "0,0,700", "-2147483648,0,2147483647,100", "500,0,100,100"}) {
        WriteFile(std::string("[Form1]\r\nNormPos=") + norm + "\r\nedUser_Text=ME\r\n");
        const TFakeForm form = Restored();
        const TPlacementRect rect = form.m_placement.NormalPosition;
        EXPECT_EQ((std::vector<int>{rect.Left, rect.Top, rect.Right, rect.Bottom}),
                  (std::vector<int>{307, 107, 964, 517}))
            << norm;
        EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "ME") << norm;
    }
    WriteFile("[Form1]\r\nMinMaxPos=a,b,c,d\r\n");
    EXPECT_EQ(Restored().m_placement.MaxPosition.X, 0);
}

TEST_F(FormStorageTest, ANonIntegerFlagsEndsTheRestoreWithTheConversionError) {
    WriteFile("[Form1]\r\nFlags=x1\r\nNormPos=0,0,100,100\r\nedUser_Text=ME\r\n");
    TFakeForm form;
    m_storage.SetForm(&form);
    try {
        m_storage.FormShow();
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'x1' is not a valid integer value");
    }
    EXPECT_EQ(form.m_placementsApplied, 0);
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "SYSDBA");
    // The failed restore is not repeated at the next show.
    EXPECT_NO_THROW(m_storage.FormShow());
}

TEST_F(FormStorageTest, AnEntryThatDoesNotConvertKeepsItsValueAndTheOthersAreRestored) {
    WriteFile("[Form1]\r\nsePeriod_Value=ten\r\nseAmount_Value=\r\nedUser_Text=ME\r\n"
              "[Form1\\mSQL_Lines]\r\nCount=many\r\n");
    const TFakeForm form = Restored();
    EXPECT_EQ(std::get<int32_t>(form.m_values.at("sePeriod.Value")), 10);
    EXPECT_EQ(std::get<int32_t>(form.m_values.at("seAmount.Value")), 0);
    EXPECT_EQ(std::get<std::string>(form.m_values.at("edUser.Text")), "ME");
    EXPECT_EQ(std::get<std::vector<std::string>>(form.m_values.at("mSQL.Lines")),
              std::vector<std::string>{"select 1 from rdb$database"});
}

TEST_F(FormStorageTest, TheMemoKeepsNoStaleLinesAndAnEmptyMemoIsRestoredEmpty) {
    m_form.m_values["mSQL.Lines"] = std::vector<std::string>{"1", "2", "3", "4", "5"};
    m_storage.SavePlacement();
    m_form.m_values["mSQL.Lines"] = std::vector<std::string>{"a", "b", "c"};
    m_storage.SavePlacement();
    const std::string text = ReadFile();
    EXPECT_EQ(text.substr(text.find("[Form1\\mSQL_Lines]")),
              "[Form1\\mSQL_Lines]\r\nCount=3\r\nItem0=a\r\nItem1=b\r\nItem2=c\r\n\r\n");

    m_form.m_values["mSQL.Lines"] = std::vector<std::string>{};
    m_storage.SavePlacement();
    EXPECT_EQ(ReadFile().substr(text.find("[Form1\\mSQL_Lines]")), "[Form1\\mSQL_Lines]\r\nCount=0\r\n\r\n");
    EXPECT_TRUE(std::get<std::vector<std::string>>(Restored().m_values.at("mSQL.Lines")).empty());
}

TEST_F(FormStorageTest, EntriesAreResolvedLooselyAndUnknownOnesDropped) {
    m_storage.SetAppStoragePath("Cfg\\%form_name%");
    m_storage.SetStoredProps({" edUser . text ", "nodot", "edMissing.Text", "edDBName.Caption"});
    m_storage.SavePlacement();
    const std::string text = ReadFile();
    EXPECT_EQ(text.substr(0, 14), "[Cfg\\Form1]\r\nF");
    EXPECT_NE(text.find("\r\nedUser_Text=SYSDBA\r\n\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("edDBName"), std::string::npos) << text;
    EXPECT_EQ(text.find("edMissing"), std::string::npos) << text;
}

TEST_F(FormStorageTest, DestructionSavesOnlyAfterARestoreThatNoCloseHasSaved) {
    m_storage.FormDestroy();
    EXPECT_EQ(ReadFile(), "<no file>") << "a window never shown must not overwrite the settings";

    m_storage.FormShow();
    m_storage.FormCloseQuery(false);
    EXPECT_EQ(ReadFile(), "<no file>");
    m_storage.FormDestroy();
    EXPECT_NE(ReadFile(), "<no file>");

    WriteFile("");
    m_storage.FormDestroy();
    EXPECT_EQ(ReadFile(), "") << "saved twice";
    m_storage.SetActive(false);
    m_storage.SavePlacement();
    EXPECT_EQ(ReadFile(), "");
}
} // namespace
