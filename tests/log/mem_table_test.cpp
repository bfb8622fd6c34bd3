#include "log/mem_table.h"
#include "log_test_support.h"

#include "core/exceptions.h"

#include <QDate>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

const TDateTime Day = EncodeDate(2025, 12, 8);

std::vector<int32_t> ValuesOf(const TMemTable& table) {
    std::vector<int32_t> values;
    for (int row = 0; row < table.RecordCount(); ++row)
        values.push_back(std::get<int32_t>(table.RowValue(row, 1)));
    return values;
}

void FillTable(TMemTable& table, int count) {
    for (int i = 0; i < count; ++i)
        AppendRecord(table, Day + i / 86400.0, i, i % 10 == 0 ? "lost connection" : "");
}


} // namespace

TEST(MemTable, ErrorTextIsCutAfter300CharactersAndEndsAtAZero) {
    TMemTable table;
    AppendRecord(table, Day, 1, std::string(300, 'a'));
    EXPECT_EQ(table.MTError.AsString(), std::string(300, 'a'));
    AppendRecord(table, Day, 2, std::string(300, 'b') + "c");
    EXPECT_EQ(table.MTError.AsString(), std::string(300, 'b'));
    AppendRecord(table, Day, 3, std::string("ab\0cd", 5));
    EXPECT_EQ(table.MTError.AsString(), "ab");

    table.BeginAppend();
    EXPECT_TRUE(table.MTError.IsNull());
    EXPECT_TRUE(table.MTTime.IsNull());
    table.MTError.SetAsString("");
    EXPECT_FALSE(table.MTError.IsNull());
    table.PostRecord();
    EXPECT_FALSE(table.RowIsNull(3, 2));
    EXPECT_TRUE(table.RowIsNull(3, 0));
    EXPECT_TRUE(table.RowIsNull(3, 1));
    EXPECT_EQ(table.RowValue(3, 2), TFieldValue(std::string()));
}

TEST(MemTable, TimeReadsBackRoundedToTheNearestMillisecond) {
    TMemTable table;
    const TDateTime base = Day + EncodeTime(14, 3, 9, 250);
    AppendRecord(table, base + 0.4 / MSecsPerDay, 0, "");
    EXPECT_EQ(table.MTTime.AsDateTime(), static_cast<TDateTime>(std::llround(base * MSecsPerDay)) / MSecsPerDay);
    EXPECT_EQ(DecodeTime(table.MTTime.AsDateTime()).msec, 250);
    AppendRecord(table, base + 0.6 / MSecsPerDay, 0, "");
    EXPECT_EQ(DecodeTime(table.MTTime.AsDateTime()).msec, 251);

    table.BeginAppend();
    EXPECT_THROW(table.MTTime.SetAsDateTime(1e300), EConvertError);
    EXPECT_TRUE(table.MTTime.IsNull());
}

TEST(MemTable, AppendedRecordsKeepCycleOrderAndTheNewestIsCurrent) {
    TMemTable table;
    TRecordingListener listener(table);
    table.BeginAppend();
    EXPECT_EQ(table.State(), dsInsert);
    EXPECT_EQ(table.CurrentRow(), 0);
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.RowCount(), 1);
    table.MTTime.SetAsDateTime(Day);
    table.MTValue.SetAsInteger(7);
    table.MTError.SetAsString("");
    table.PostRecord();
    EXPECT_EQ(listener.heard, "SDFFFSD");
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(table.RecNo(), 1);
    EXPECT_EQ(table.State(), dsBrowse);

    // Enough rows to span several storage blocks.
    FillTable(table, 20000);
    EXPECT_EQ(table.RecordCount(), 20001);
    EXPECT_EQ(table.CurrentRow(), 20000);
    EXPECT_EQ(table.MTValue.AsInteger(), 19999);
    const std::vector<int32_t> values = ValuesOf(table);
    for (size_t i = 1; i < values.size(); ++i)
        ASSERT_EQ(values[i], static_cast<int32_t>(i - 1));
}

TEST(MemTable, AssigningInBrowseStateFailsAndChangesNothing) {
    TMemTable table;
    AppendRecord(table, Day, 5, "x");
    try {
        table.MTValue.SetAsInteger(6);
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Dataset is not in edit mode.");
    }
    EXPECT_EQ(table.MTValue.AsInteger(), 5);
    EXPECT_EQ(table.State(), dsBrowse);
}

TEST(MemTable, LeavingInsertStoresAnAssignedRecordAndDropsAnUntouchedOne) {
    TMemTable table;
    TRecordingListener listener(table);
    table.ClearRecords();
    EXPECT_EQ(listener.heard, "D");
    EXPECT_EQ(table.CurrentRow(), -1);

    table.BeginAppend();
    table.BeginAppend(); // the untouched record is dropped
    EXPECT_EQ(table.RecordCount(), 0);
    table.MTValue.SetAsInteger(3);
    table.BeginAppend(); // the assigned record is stored first
    EXPECT_EQ(table.RecordCount(), 1);
    EXPECT_EQ(std::get<int32_t>(table.RowValue(0, 1)), 3);
    table.MTValue.SetAsInteger(4);
    listener.heard.clear();
    table.ClearRecords(); // stores the pending record, then empties the table: one notice of each kind
    EXPECT_EQ(listener.heard, "SD");
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.State(), dsBrowse);

    table.BeginAppend();
    table.CancelRecord();
    EXPECT_EQ(table.RecordCount(), 0);
    EXPECT_EQ(table.CurrentRow(), -1);
}

TEST(MemTable, DeletingMovesTheCursorToTheFollowerOrTheNewLast) {
    TMemTable table;
    try {
        table.DeleteRecord();
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Cannot perform this operation on an empty dataset");
    }
    FillTable(table, 5);
    table.DeleteRecord(); // the last
    EXPECT_EQ(ValuesOf(table), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(table.CurrentRow(), 3);
    table.SetRecNo(2);
    table.DeleteRecord();
    EXPECT_EQ(ValuesOf(table), (std::vector<int32_t>{0, 2, 3}));
    EXPECT_EQ(table.MTValue.AsInteger(), 2);

    table.BeginAppend(); // deleting while inserting drops the new record only
    table.MTValue.SetAsInteger(99);
    table.DeleteRecord();
    EXPECT_EQ(ValuesOf(table), (std::vector<int32_t>{0, 2, 3}));
    EXPECT_EQ(table.State(), dsBrowse);

    for (int i = 0; i < 3; ++i)
        table.DeleteRecord();
    EXPECT_EQ(table.CurrentRow(), -1);
    EXPECT_TRUE(table.IsEmpty());
}

// The fast set delete must leave what deleting one by one from the list's end leaves.
TEST(MemTable, DeletingBookmarkedRecordsMatchesDeletingThemOneByOne) {
    TMemTable fast;
    TMemTable slow;
    FillTable(fast, 12000);
    FillTable(slow, 12000);
    std::vector<TBookmark> marks;
    for (int row : {9000, 17, 4095, 4096, 11999, 8191, 17, 0, 6000})
        marks.push_back(fast.RowBookmark(row));
    marks.push_back(TBookmark{}); // remembers nothing; skipped

    // Both tables were filled alike, so their records answer to the same bookmarks.
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark) {
        if (!slow.BookmarkValid(*mark))
            continue;
        slow.GotoBookmark(*mark);
        slow.DeleteRecord();
    }
    TRecordingListener listener(fast);
    fast.DeleteRecords(marks);
    EXPECT_EQ(listener.heard, "D");
    EXPECT_TRUE(marks.empty());
    EXPECT_EQ(fast.RecordCount(), 12000 - 8);
    EXPECT_EQ(ValuesOf(fast), ValuesOf(slow));
    EXPECT_EQ(fast.CurrentRow(), slow.CurrentRow());
    EXPECT_EQ(fast.MTValue.AsInteger(), 9001); // the record after the first bookmark, deleted last

    std::vector<TBookmark> last{fast.RowBookmark(fast.RecordCount() - 1)};
    fast.DeleteRecords(last);
    EXPECT_EQ(fast.CurrentRow(), fast.RecordCount() - 1);
}

TEST(MemTable, BookmarksFollowTheirRecordAndFailOnceItIsGone) {
    TMemTable table;
    FillTable(table, 9000);
    const TBookmark mark = table.RowBookmark(8500);
    table.SetRecNo(1);
    table.DeleteRecord();
    table.SetRecNo(5000);
    table.DeleteRecord();
    FillTable(table, 10);
    EXPECT_EQ(table.RowOfBookmark(mark), 8498);
    table.GotoBookmark(mark);
    EXPECT_EQ(table.MTValue.AsInteger(), 8500);
    table.DeleteRecord();
    EXPECT_FALSE(table.BookmarkValid(mark));
    try {
        table.GotoBookmark(mark);
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Record not found");
    }
    table.ClearRecords();
    FillTable(table, 9000); // new records never answer to old bookmarks
    EXPECT_FALSE(table.BookmarkValid(mark));
}

TEST(MemTable, EditShowsPendingValuesAndStoresThemInPlace) {
    TMemTable table;
    FillTable(table, 3);
    table.SetRecNo(2);
    const uint64_t rewrites = table.RewriteCount();
    table.BeginEdit();
    table.MTError.SetAsString("copied");
    EXPECT_EQ(table.RowDisplayText(1, 2), "copied");
    table.CancelRecord();
    EXPECT_EQ(table.RowDisplayText(1, 2), "");
    EXPECT_EQ(table.RewriteCount(), rewrites);

    table.BeginEdit();
    table.MTError.SetAsString("copied");
    table.BeginAppend(); // the changed record is stored before the new one starts
    table.CancelRecord();
    EXPECT_EQ(table.RowDisplayText(1, 2), "copied");
    EXPECT_EQ(ValuesOf(table), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_GT(table.RewriteCount(), rewrites);
}

TEST(MemTable, ResumingSendsOneStateChangeWhenTheStateDiffersAndOneDataSetChange) {
    TMemTable table;
    TRecordingListener listener(table);
    table.SuspendNotifications();
    table.SuspendNotifications();
    table.BeginAppend();
    table.MTValue.SetAsInteger(1);
    table.ResumeNotifications();
    EXPECT_EQ(listener.heard, "");
    table.ResumeNotifications();
    EXPECT_EQ(listener.heard, "SD");
    table.SuspendNotifications();
    table.PostRecord();
    table.BeginAppend();
    table.ResumeNotifications(); // insert again, as at the suspend
    EXPECT_EQ(listener.heard, "SDD");
}

TEST(MemTable, DisplayTextsFollowTheUsersRegionalSettings) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TMemTable table;
    AppendRecord(table, Day + EncodeTime(14, 3, 9, 250), -12, "a\tb");
    AppendRecord(table, Day + EncodeTime(0, 0, 0, 400), 0, "");
    table.BeginAppend();
    EXPECT_EQ(table.RowDisplayText(0, 0), "12/8/25 2:03:09 PM");
    EXPECT_EQ(table.RowDisplayText(0, 1), "-12");
    EXPECT_EQ(table.RowDisplayText(0, 2), "a\tb");
    EXPECT_EQ(table.RowDisplayText(1, 0), "12/8/25");
    EXPECT_EQ(table.RowDisplayText(2, 0), "");
    EXPECT_EQ(table.MTTime.DisplayText(), "");
}

// Designators outside the code page: the grid shows the locale's own, the 8-bit texts "AM" and "PM", and a
// morning and an afternoon time never read the same in either.
TEST(MemTable, TimesKeepMorningAndAfternoonApartInLocalesOutsideTheCodePage) {
    for (const char* name : {"ko_KR", "el_GR", "ar_EG", "ta_IN"}) {
        const QLocale locale(name);
        QLocale::setDefault(locale);
        TMemTable table;
        AppendRecord(table, Day + EncodeTime(2, 3, 9, 0), 1, "");
        AppendRecord(table, Day + EncodeTime(14, 3, 9, 0), 2, "");
        const QString morning = table.RowDisplayString(0, 0);
        const QString afternoon = table.RowDisplayString(1, 0);
        EXPECT_TRUE(morning.contains(locale.amText())) << name << ": " << morning.toStdString();
        EXPECT_TRUE(afternoon.contains(locale.pmText())) << name << ": " << afternoon.toStdString();
        EXPECT_TRUE(morning.startsWith(locale.toString(QDate(2025, 12, 8), QLocale::ShortFormat))) << name;

        const std::string morning8 = table.RowDisplayText(0, 0);
        const std::string afternoon8 = table.RowDisplayText(1, 0);
        EXPECT_NE(morning8.find("AM"), std::string::npos) << name << ": " << morning8;
        EXPECT_NE(afternoon8.find("PM"), std::string::npos) << name << ": " << afternoon8;
        EXPECT_EQ((morning8 + afternoon8).find('?'), std::string::npos) << name << ": " << morning8;
        EXPECT_EQ(table.RowDisplayString(0, 1), "1");
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TMemTable table;
    AppendRecord(table, Day + EncodeTime(14, 3, 9, 0), 1, "\xCE\xF8\xE8\xE1\xEA\xE0");
    EXPECT_EQ(table.RowDisplayString(0, 0), "12/8/25 2:03:09 PM");
    EXPECT_EQ(table.RowDisplayString(0, 2), QString::fromUtf8("Ошибка"));
}

TEST(MemTable, TimesAtBothEndsOfTheCalendarAreKeptAndBeyondThemRefused) {
    TMemTable table;
    AppendRecord(table, EncodeDateTime({1, 1, 1}, {12, 0, 0, 0}), 1, "");
    AppendRecord(table, EncodeDateTime({9999, 12, 31}, {23, 59, 59, 999}), 2, "");
    const TDateParts first = DecodeDate(std::get<TDateTime>(table.RowValue(0, 0)));
    EXPECT_EQ(first.year * 10000 + first.month * 100 + first.day, 10101);
    EXPECT_EQ(DecodeTime(std::get<TDateTime>(table.RowValue(0, 0))).hour, 12);
    EXPECT_EQ(DecodeDate(std::get<TDateTime>(table.RowValue(1, 0))).year, 9999);

    table.BeginAppend();
    EXPECT_THROW(table.MTTime.SetAsDateTime(EncodeDate(9999, 12, 31) + (MSecsPerDay - 0.4) / MSecsPerDay),
                 EConvertError);
    EXPECT_THROW(table.MTTime.SetAsDateTime(EncodeDate(1, 1, 1) - 1.0), EConvertError);
    EXPECT_TRUE(table.MTTime.IsNull());
}
