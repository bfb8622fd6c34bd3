#include "log/csv_stream_format.h"
#include "log/mem_table.h"
#include "log_test_support.h"
#include "tests/support/python_csv.h"

#include "core/exceptions.h"
#include "core/text_codec.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <gtest/gtest.h>

namespace {

const TDateTime Day = EncodeDate(2025, 12, 8);

// The table as the window sets it up: the format named as its default.
struct TSavedLog {
    TCsvStreamFormat format;
    TMemTable table;
    QTemporaryDir dir;

    TSavedLog() { table.SetDefaultFormat(&format); }

    QString Path(const char* name = "log.txt") const { return dir.filePath(QString::fromUtf8(name)); }

    std::string Save(const char* name = "log.txt") {
        table.SaveAsText(Path(name));
        return ReadFile(Path(name));
    }

    static std::string ReadFile(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll().toStdString();
    }
};

const std::string Header = "\"Time\"\t\"Value\"\t\"Error\"\r\n";

std::string SaveErrorOf(TSavedLog& log, const QString& path) {
    try {
        log.table.SaveAsText(path);
    } catch (const Exception& error) {
        return error.Message();
    }
    return "no error";
}

} // namespace

TEST(CsvStreamFormat, WritesTheWorkedExampleByteForByte) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic)); // 24-hour clock, hour without zero
    TSavedLog log;
    AppendRecord(log.table, Day + EncodeTime(14, 3, 9, 250), 37, "");
    AppendRecord(log.table, Day + EncodeTime(14, 3, 19, 4), 5012, "Query failed: \"x\" at 50%\r\nsecond line");
    EXPECT_EQ(log.Save(), Header + "\"08/12/2025 14:03:09\"\t\"37\"\t\"\"\r\n"
                                   "\"08/12/2025 14:03:19\"\t\"5012\"\t\"Query failed: \"\"x\"\" at 50%%%c%nsecond line\"\r\n");
}

TEST(CsvStreamFormat, AnEmptyLogReplacesALongerFileWithTheHeaderAlone) {
    TSavedLog log;
    for (int i = 0; i < 100; ++i)
        AppendRecord(log.table, Day, i, "some text");
    EXPECT_GT(log.Save().size(), 1000u);
    log.table.ClearRecords();
    const std::string saved = log.Save();
    EXPECT_EQ(saved, Header);
    EXPECT_EQ(saved.size(), 24u);
}

TEST(CsvStreamFormat, ValueRulesForTextsNumbersMidnightAndNulls) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    TSavedLog log;
    const TDateTime nextDay = EncodeDate(2025, 12, 9);
    AppendRecord(log.table, nextDay + EncodeTime(0, 0, 0, 400), -5, "a\tb");
    AppendRecord(log.table, nextDay + EncodeTime(0, 0, 1, 0), 0, "literal %c and %n");
    AppendRecord(log.table, EncodeDate(1999, 1, 2) + EncodeTime(23, 59, 59, 999), 2147483647, "\"");
    log.table.BeginAppend(); // only Value assigned: the other two are written as nothing
    log.table.MTValue.SetAsInteger(5);
    log.table.PostRecord();
    EXPECT_EQ(log.Save(), Header + "\"09/12/2025\"\t\"-5\"\t\"a\tb\"\r\n"
                                   "\"09/12/2025 0:00:01\"\t\"0\"\t\"literal %%c and %%n\"\r\n"
                                   "\"02/01/1999 23:59:59\"\t\"2147483647\"\t\"\"\"\"\r\n"
                                   "\t\"5\"\t\r\n");
}

TEST(CsvStreamFormat, TheCalendarsEndsAreWrittenWithTheirOwnDates) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    TSavedLog log;
    AppendRecord(log.table, EncodeDateTime({1, 1, 1}, {12, 0, 0, 0}), 1, "");
    AppendRecord(log.table, EncodeDateTime({9999, 12, 31}, {23, 59, 59, 999}), 2, "");
    EXPECT_EQ(log.Save(), Header + "\"01/01/0001 12:00:00\"\t\"1\"\t\"\"\r\n"
                                   "\"31/12/9999 23:59:59\"\t\"2\"\t\"\"\r\n");
}

TEST(CsvStreamFormat, TimeOfDayFollowsTheTwelveHourClockOfTheLocale) {
    const TDateTime afternoon = Day + EncodeTime(14, 3, 9, 0);
    const TDateTime pastMidnight = Day + EncodeTime(0, 0, 1, 0);
    struct Case {
        QLocale locale;
        const char* afternoon;
        const char* pastMidnight;
    };
    const Case cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), "2:03:09 PM", "12:00:01 AM"}, // designator last
        {QLocale(QLocale::Gujarati, QLocale::India), "02:03:09 PM", "12:00:01 AM"},      // leading zero
        {QLocale(QLocale::Kashmiri, QLocale::DevanagariScript, QLocale::India), "PM 2:03:09", "AM 12:00:01"}, // designator first
        {QLocale(QLocale::German, QLocale::Germany), "14:03:09", "00:00:01"},
        // Designators the code page cannot write: "AM" and "PM" in their place, never two "??".
        {QLocale("ko_KR"), "PM 2:03:09", "AM 12:00:01"},
        {QLocale("el_GR"), "2:03:09 PM", "12:00:01 AM"},
        {QLocale("ar_EG"), "2:03:09 PM", "12:00:01 AM"},
        {QLocale("ta_IN"), "PM 2:03:09", "AM 12:00:01"},
    };
    for (const Case& c : cases) {
        QLocale::setDefault(c.locale);
        TSavedLog log;
        AppendRecord(log.table, afternoon, 1, "");
        AppendRecord(log.table, pastMidnight, 2, "");
        EXPECT_EQ(log.Save(), Header + "\"08/12/2025 " + c.afternoon + "\"\t\"1\"\t\"\"\r\n\"08/12/2025 " +
                                  c.pastMidnight + "\"\t\"2\"\t\"\"\r\n")
            << c.locale.name().toStdString();
    }
}

TEST(CsvStreamFormat, AFileThatCannotBeCreatedIsReportedAndNothingIsWritten) {
    TSavedLog log;
    AppendRecord(log.table, Day, 1, "");
    const QString path = log.Path("missing/log.txt");
    EXPECT_EQ(SaveErrorOf(log, path),
              "Cannot create file \"" + path.toStdString() + "\". No such file or directory");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(log.table.NotificationsSuspended());

    // A relative name is reported with its full path.
    const QString relative = "no-such-dir-here/x.txt";
    EXPECT_EQ(SaveErrorOf(log, relative),
              "Cannot create file \"" + QDir::current().absoluteFilePath(relative).toStdString() +
                  "\". No such file or directory");

    // Without a format the old file keeps its content.
    log.Save("kept.txt");
    log.table.SetDefaultFormat(nullptr);
    EXPECT_EQ(SaveErrorOf(log, log.Path("kept.txt")), "No format specified.");
    EXPECT_EQ(TSavedLog::ReadFile(log.Path("kept.txt")), Header + "\"08/12/2025\"\t\"1\"\t\"\"\r\n");
}

// A name is opened as the user chose it, whatever the code page lacks: nothing is written under another name.
TEST(CsvStreamFormat, SavesUnderExactlyTheChosenNameAndReportsItAsChosen) {
    TSavedLog log;
    AppendRecord(log.table, Day, 1, "");
    const std::string row = "\"08/12/2025\"\t\"1\"\t\"\"\r\n";
    for (const char* name : {"日本.txt", "café.txt", "тест.txt"}) {
        const QString path = log.dir.filePath(QString::fromUtf8(name));
        log.table.SaveAsText(path);
        EXPECT_EQ(TSavedLog::ReadFile(path), Header + row) << name;
    }
    EXPECT_EQ(QDir(log.dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_FALSE(QFile::exists(log.dir.filePath("??.txt")));

    const QString missing = log.dir.filePath(QString::fromUtf8("日本/log.txt"));
    try {
        log.table.SaveAsText(missing);
        ADD_FAILURE() << "no error";
    } catch (const Exception& error) {
        const std::string expected =
            "Cannot create file \"" + missing.toStdString() + "\". No such file or directory";
        EXPECT_EQ(error.Utf8Message(), expected);
        EXPECT_EQ(error.Message(), ToCp1251(QString::fromStdString(expected)));
    }
}

TEST(CsvStreamFormat, AFullDiskStopsTheSaveAndRestoresTheTable) {
    TSavedLog log;
    for (int i = 0; i < 10; ++i)
        AppendRecord(log.table, Day, i, "x");
    log.table.SetRecNo(4);
    TRecordingListener listener(log.table);
    EXPECT_EQ(SaveErrorOf(log, "/dev/full"), "Stream write error");
    EXPECT_EQ(listener.heard, "D");
    EXPECT_FALSE(log.table.NotificationsSuspended());
    EXPECT_EQ(log.table.CurrentRow(), 3);
    EXPECT_EQ(log.table.State(), dsBrowse);
    // The lock is free again: another thread can take it.
    auto other = std::async(std::launch::async, [&log] { return log.table.LockRecords().owns_lock(); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(other.get());
}

TEST(CsvStreamFormat, DelimitersAndTheFilterCallback) {
    TSavedLog log;
    log.format.SetCSVFieldDelimiter('\0'); // refused
    EXPECT_EQ(log.format.CSVFieldDelimiter(), '\t');
    log.format.SetCSVFieldDelimiter(';');
    log.format.SetCSVRecordDelimiter('|');
    log.format.SetCSVQuote('\'');
    AppendRecord(log.table, Day, 1, "it's");
    AppendRecord(log.table, Day, 2, "skipped");
    log.table.OnFilterRecord = [](TMemTable&, const TRecordView& record, bool& accept) { accept = record.value != 2; };
    EXPECT_EQ(log.Save(), "'Time';'Value';'Error'|\r\n'08/12/2025';'1';'it''s'|\r\n'08/12/2025';'2';'skipped'|\r\n");
    log.table.SetFiltered(true);
    EXPECT_EQ(log.Save(), "'Time';'Value';'Error'|\r\n'08/12/2025';'1';'it''s'|\r\n");
    log.format.SetCSVQuote('0'); // a quote that dates and numbers hold is doubled there too
    AppendRecord(log.table, Day + EncodeTime(10, 0, 0, 0), 10, "");
    log.table.SetRecNo(2);
    log.table.DeleteRecord();
    EXPECT_EQ(log.Save(), "0Time0;0Value0;0Error0|\r\n0008/12/200250;010;0it's0|\r\n"
                          "0008/12/20025 100:0000:00000;01000;00|\r\n");
}

// The saved file read back by Python's csv module gives the same rows and values.
TEST(CsvStreamFormat, PythonsCsvReaderReadsBackEveryRow) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TSavedLog log;
    const std::string texts[] = {"", "\xCE\xF8\xE8\xE1\xEA\xE0 \"quoted\"", "tab\there", "line\r\nbreak 100%",
                                 std::string(300, 'z')};
    std::vector<QStringList> expected{{"Time", "Value", "Error"}};
    for (int i = 0; i < 500; ++i) {
        const TDateTime time = Day + i * 37.0 / 86400;
        const std::string& text = texts[i % 5];
        AppendRecord(log.table, time, i * 7 - 100, text);
        std::string escaped;
        for (char c : text)
            escaped += c == '%' ? std::string("%%") : c == '\r' ? std::string("%c") : c == '\n' ? "%n" : std::string(1, c);
        std::string timeText = "08/12/2025";
        if (i > 0) {
            const TTimeParts parts = DecodeTime(time);
            timeText += ' ';
            TLocaleFormat().AppendTimeOfDay(timeText, parts.hour, parts.minute, parts.second);
        }
        expected.push_back({FromCp1251(timeText), QString::number(i * 7 - 100), FromCp1251(escaped)});
    }
    log.Save();

    const std::vector<QStringList> rows = PythonCsvRows(log.Path());
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i], expected[i]) << "row " << i;
}

// A journal and the headless run write their lines one at a time from the values of a measured row; the lines
// must be the very bytes that saving the log writes, cut and escaped texts included.
TEST(CsvStreamFormat, LinesWrittenOneAtATimeAreTheSavedFile) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // 12-hour clock, designator last
    TSavedLog log;
    const TLogRow rows[] = {
        {Day + (14 * 3600 + 3 * 60 + 9.25) / 86400, 37, "", std::nullopt},
        {Day + 1, -5, "Query failed: \"x\" at 50%\r\nsecond line", std::nullopt},
        {Day + 1.5, 0, std::string(400, 'e'), std::nullopt},         // cut to the field's 300 characters
        {Day + 2, 1, std::string("before\0after", 12), std::nullopt}, // cut at the zero character
        {Day + 2.25, 2, "Query failed: \"x\" at 50%\r\nsecond line", std::nullopt},
    };
    TCsvLineWriter lines = log.format.LineWriter();
    std::string written = lines.HeaderLine();
    for (const TLogRow& row : rows) {
        log.table.AppendRecord(row);
        // No pool behind these rows: every text comes with the same reference, which must not mix them up.
        written += lines.RowLine(row);
    }
    EXPECT_EQ(written, log.Save());
    EXPECT_NE(written.find("\"09/12/2025 12:00:00 PM\"\t\"0\"\t\"" + std::string(300, 'e') + "\"\r\n"),
              std::string::npos);
    EXPECT_NE(written.find("\"10/12/2025\"\t\"1\"\t\"before\"\r\n"), std::string::npos);
    QLocale::setDefault(QLocale::system());
}
