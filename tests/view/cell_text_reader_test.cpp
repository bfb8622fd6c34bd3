// The fast reader of cell texts must give, cell for cell, what the grid shows through the table.
#include "view/cell_text_reader.h"

#include "core/exceptions.h"
#include "log/mem_table.h"

#include <QLocale>
#include <climits>
#include <gtest/gtest.h>
#include <optional>

namespace {
struct TRow {
    std::optional<TDateTime> time;
    std::optional<int32_t> value;
    std::optional<std::string> error;
};

// A new record starts with every field null; only the given ones are assigned.
void Assign(TMemTable& table, const TRow& row) {
    if (row.time)
        table.MTTime.SetValue(*row.time);
    if (row.value)
        table.MTValue.SetValue(*row.value);
    if (row.error)
        table.MTError.SetValue(*row.error);
}

// Days that change back and forth (the reader keeps one date), midnight to the second and just after it,
// the last millisecond of a day, dates before 1899-12-30, nulls, extreme values, a repeated and a Cyrillic
// error.
void FillLog(TMemTable& table) {
    const TRow rows[] = {
        {46000.5, 12, std::nullopt},
        {46000.0, 0, "connection timeout"},
        {46001.0 + 1.0 / 86400, -15, "\xCE\xF8\xE8\xE1\xEA\xE0 \"x\"\t"},
        {46000.75, INT32_MIN, "connection timeout"},
        {46001.0 - 1.0 / MSecsPerDay, INT32_MAX, ""},
        {-1.25, 7, std::nullopt},
        {std::nullopt, std::nullopt, "lost"},
        {46002.0 + 13.0 / 24 + 5.0 / 1440, std::nullopt, std::nullopt},
    };
    for (const TRow& row : rows) {
        table.BeginAppend();
        Assign(table, row);
        table.PostRecord();
    }
}

void ExpectTextsAsShown(const TMemTable& table) {
    TCellTextReader reader(table);
    for (int row = 0; row < table.RowCount(); ++row)
        for (int field = 0; field < TMemTable::FieldCount; ++field)
            EXPECT_EQ(reader.Text(row, field), table.RowDisplayString(row, field))
                << "row " << row << ", field " << field;
}

TEST(CellTextReader, GivesTheTableDisplayTextsInEveryLocale) {
    const QLocale saved;
    // Korean and Greek designators lie outside the code page; the grid shows them all the same.
    for (const char* locale : {"ru_RU", "en_US", "ks_Deva_IN", "ko_KR", "el_GR"}) {
        QLocale::setDefault(QLocale(locale));
        TMemTable table;
        FillLog(table);
        ExpectTextsAsShown(table);
    }
    QLocale::setDefault(saved);
}

TEST(CellTextReader, ReadsThePendingRowWithItsPendingValues) {
    TMemTable table;
    FillLog(table);
    table.SetRecNo(2);
    table.BeginEdit();
    Assign(table, {46003.5, 99, "edited"});
    ExpectTextsAsShown(table);
    table.PostRecord();

    table.BeginAppend();
    Assign(table, {46004.5, 5, "new"});
    ASSERT_EQ(table.RowCount(), table.RecordCount() + 1);
    ExpectTextsAsShown(table);
}

TEST(CellTextReader, RefusesRowsAndFieldsOutsideTheTableAsTheTableDoes) {
    TMemTable table;
    FillLog(table);
    TCellTextReader reader(table);
    EXPECT_THROW(reader.Text(table.RowCount(), 0), Exception);
    EXPECT_THROW(reader.Text(-1, 0), Exception);
    EXPECT_THROW(reader.Text(0, TMemTable::FieldCount), Exception);
}
} // namespace
