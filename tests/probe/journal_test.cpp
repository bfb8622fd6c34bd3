#include "probe/journal.h"

#include "core/date_time.h"
#include "log/csv_stream_format.h"
#include "log/mem_table.h"
#include "tests/support/file_bytes.h"
#include "tests/support/manual_clock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QDateTime Start(QDate(2026, 12, 9), QTime(16, 31, 29));
const std::string Header = "\"Time\"\t\"Value\"\t\"Error\"\r\n";

TLogRow RowAt(int second, int32_t value, std::string error = {}) {
    return {EncodeDate(2026, 12, 9) + (16 * 3600 + 32 * 60 + second) / 86400.0, value, std::move(error), std::nullopt};
}

// What saving a log of these rows would write.
std::string SavedLog(const std::vector<TLogRow>& rows) {
    TCsvStreamFormat format;
    TMemTable table;
    table.SetDefaultFormat(&format);
    for (const TLogRow& row : rows)
        table.AppendRecord(row);
    QTemporaryDir dir;
    table.SaveAsText(dir.filePath("saved.txt"));
    return ReadFileBytes(dir.filePath("saved.txt").toStdString());
}

struct JournalFolder {
    TManualClock clock;
    QTemporaryDir dir;
    std::vector<std::string> reports;

    std::string Path(const QString& name) const { return dir.filePath(name).toStdString(); }
    std::unique_ptr<TJournal> Begin(const std::string& path) {
        return std::make_unique<TJournal>(
            path, Start,
            [this](const Exception& error) {
                reports.push_back(error.Utf8Message().empty() ? error.Message() : error.Utf8Message());
            },
            clock);
    }
};
} // namespace

TEST(Journal, IsNamedAfterThePathWithTheStartTimeBeforeTheExtension) {
    EXPECT_EQ(TJournal::FileNameFor("run.tsv", Start, 1), "run-2026-12-09_16-31-29.tsv");
    EXPECT_EQ(TJournal::FileNameFor("/var/log/q.d/run.log.tsv", Start, 1),
              "/var/log/q.d/run.log-2026-12-09_16-31-29.tsv");
    EXPECT_EQ(TJournal::FileNameFor("/var/log/q.d/run", Start, 2), "/var/log/q.d/run-2026-12-09_16-31-29_002");
    EXPECT_EQ(TJournal::FileNameFor("logs/.journal", Start, 1), "logs/.journal-2026-12-09_16-31-29");
    EXPECT_EQ(TJournal::FileNameFor("Журнал прогона.tsv", Start, 3), "Журнал прогона-2026-12-09_16-31-29_003.tsv");
}

// Each row is in the file as soon as Append returns, in the bytes a save of the same log writes; a second
// journal of the same second takes the next name and leaves the first one as it was.
TEST(Journal, WritesEachRowAtOnceAndNeverReplacesAnEarlierFile) {
    JournalFolder folder;
    const std::string path = folder.Path("run.tsv");
    const std::vector<TLogRow> rows = {RowAt(0, 3), RowAt(10, 10012, "Form1.qry1: lost\r\n100% gone"),
                                         RowAt(20, 4)};
    auto first = folder.Begin(path);
    const std::string firstName = folder.Path("run-2026-12-09_16-31-29.tsv");
    EXPECT_EQ(first->FileName(), firstName);
    EXPECT_EQ(ReadFileBytes(firstName), Header);
    for (const TLogRow& row : rows)
        first->Append(row);
    EXPECT_EQ(ReadFileBytes(firstName), SavedLog(rows));
    first.reset();

    // The folder itself, named with its "/" or not, means "run.tsv" in it; the names sort in start order.
    auto second = folder.Begin(folder.dir.path().toStdString() + "/");
    EXPECT_EQ(second->FileName(), folder.Path("run-2026-12-09_16-31-29_002.tsv"));
    second->Append(RowAt(30, 5));
    second.reset();
    EXPECT_EQ(ReadFileBytes(firstName), SavedLog(rows));
    EXPECT_EQ(ReadFileBytes(folder.Path("run-2026-12-09_16-31-29_002.tsv")), SavedLog({RowAt(30, 5)}));
    EXPECT_EQ(folder.Begin(folder.dir.path().toStdString())->FileName(),
              folder.Path("run-2026-12-09_16-31-29_003.tsv"));
    const QStringList names = QDir(folder.dir.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names, (QStringList{"run-2026-12-09_16-31-29.tsv", "run-2026-12-09_16-31-29_002.tsv",
                                  "run-2026-12-09_16-31-29_003.tsv"}));
    EXPECT_TRUE(folder.reports.empty());
}

// The folder goes away under a running journal: one report, the rows wait; when the folder is back, a new
// file gets the header and every row that waited, and a later failure is reported again.
TEST(Journal, AFolderThatDisappearsIsReportedOnceAndTheRowsCatchUpWhenItIsBack) {
    JournalFolder folder;
    const QString runs = folder.dir.filePath("runs");
    ASSERT_TRUE(QDir().mkpath(runs));
    auto journal = folder.Begin((runs + "/run.tsv").toStdString());
    const std::string name = journal->FileName();
    journal->Append(RowAt(0, 1));
    ASSERT_TRUE(QDir(runs).removeRecursively());
    for (int second = 1; second <= 4; ++second)
        journal->Append(RowAt(second, second, "Form1.FDB: gone"));
    ASSERT_EQ(folder.reports.size(), 1u);
    EXPECT_EQ(folder.reports[0], "Cannot write file \"" + name + "\". The file was removed or moved");
    EXPECT_EQ(journal->FileName(), "");

    ASSERT_TRUE(QDir().mkpath(runs));
    journal->Append(RowAt(5, 5));
    EXPECT_EQ(journal->FileName(), name);
    EXPECT_EQ(ReadFileBytes(name), SavedLog({RowAt(1, 1, "Form1.FDB: gone"), RowAt(2, 2, "Form1.FDB: gone"),
                                             RowAt(3, 3, "Form1.FDB: gone"), RowAt(4, 4, "Form1.FDB: gone"),
                                             RowAt(5, 5)}));
    // On the disk within a second (the next row after it syncs): only then has the journal recovered.
    folder.clock.Advance(std::chrono::seconds(1));
    journal->Append(RowAt(6, 6));
    ASSERT_TRUE(QDir(runs).removeRecursively());
    journal->Append(RowAt(7, 7));
    journal->Append(RowAt(8, 8));
    EXPECT_EQ(folder.reports.size(), 2u);
}

// A file moved away under the journal keeps the rows that reached it and the next row begins a new file at
// the path; a new file asked for goes on from the next row. No row is in two files, none is lost.
TEST(Journal, AFileMovedAwayKeepsItsRowsAndANewFileBeginsWithTheNextRow) {
    JournalFolder folder;
    auto journal = folder.Begin(folder.Path("run.tsv"));
    const std::string name = journal->FileName();
    journal->Append(RowAt(0, 1));
    ASSERT_TRUE(QFile::rename(QString::fromStdString(name), folder.dir.filePath("rotated.tsv")));
    journal->Append(RowAt(1, 2));
    journal->Append(RowAt(2, 3));
    EXPECT_EQ(ReadFileBytes(folder.Path("rotated.tsv")), SavedLog({RowAt(0, 1), RowAt(1, 2)}));
    EXPECT_EQ(ReadFileBytes(name), SavedLog({RowAt(2, 3)}));
    EXPECT_EQ(folder.reports,
              std::vector<std::string>{"Cannot write file \"" + name + "\". The file was removed or moved"});

    journal->StartNewFile(Start.addSecs(60));
    journal->Append(RowAt(3, 4));
    EXPECT_EQ(journal->FileName(), folder.Path("run-2026-12-09_16-32-29.tsv"));
    EXPECT_EQ(ReadFileBytes(journal->FileName()), SavedLog({RowAt(3, 4)}));
    EXPECT_EQ(ReadFileBytes(name), SavedLog({RowAt(2, 3)}));
}

// A path that never works (no such folder): reported once when the run starts, not at every row.
TEST(Journal, APathThatNeverWorksIsReportedOnce) {
    JournalFolder folder;
    const std::string path = folder.Path("missing/run.tsv");
    auto journal = folder.Begin(path);
    for (int second = 0; second < 5; ++second)
        journal->Append(RowAt(second, 1));
    ASSERT_EQ(folder.reports.size(), 1u);
    EXPECT_EQ(folder.reports[0], "Cannot create file \"" + folder.Path("missing/run-2026-12-09_16-31-29.tsv") +
                                     "\". No such file or directory");
}
