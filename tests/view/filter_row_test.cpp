#include "grid_fixture.h"

#include "core/text_codec.h"
#include "log/csv_stream_format.h"
#include "view/filter_condition_dialog.h"
#include "view/grid_filter_model.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSizeGrip>
#include <QStandardItemModel>

namespace {

constexpr int TimeColumn = 0, ValueColumn = 1, ErrorColumn = 2;

class FilterRow : public GridFixture {
protected:
    FilterRow() {
        for (int value = 1; value <= 10; ++value)
            Append(value, value % 3 == 0 ? "Connection TIMEOUT" : value == 5 ? "abc" : "", 46000.5 + value);
    }

    TFilterRow& Row() { return grid.FilterRow(); }

    // Clicks the column's filter cell, types the text and presses Enter; the answer to an error box, if one
    // comes, is OK, and its text is returned.
    QString TypeCondition(int column, const QString& text) {
        QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(column).center());
        EXPECT_TRUE(Row().IsEditing());
        QLineEdit* line = Row().Editor().lineEdit();
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        QTest::keyClicks(line, text);
        auto box = AnswerNextBox(QMessageBox::Ok);
        QTest::keyClick(line, Qt::Key_Return);
        QApplication::processEvents();
        return box->shown ? box->text : QString();
    }
    std::string ConditionText(int column) { return Row().ConditionOf(column).text; }
    QByteArray Saved() {
        TCsvStreamFormat format;
        QBuffer file;
        file.open(QIODevice::WriteOnly);
        format.SaveToStream(table, file);
        return file.data();
    }
};

} // namespace

TEST_F(FilterRow, TypedConditionsAreCheckedKeptAndFilterTheRowsShown) {
    EXPECT_EQ(TypeCondition(ValueColumn, ">5"), "");
    EXPECT_EQ(ConditionText(ValueColumn), ">5");
    EXPECT_EQ(ShownValues(), (std::vector<int>{6, 7, 8, 9, 10}));

    EXPECT_EQ(TypeCondition(ValueColumn, ">abc"), "'abc' is not a valid floating point value.");
    EXPECT_EQ(ConditionText(ValueColumn), ">5") << "the previous condition stays";
    EXPECT_EQ(TypeCondition(ErrorColumn, "'abc"), "Quote is absent: 'abc.");
    EXPECT_EQ(TypeCondition(ValueColumn, "IN 1,2"), "'(' expected: IN 1,2.");
    EXPECT_EQ(TypeCondition(ValueColumn, ">5 <3"), "Unexpected AND or OR: >5 <3.");
    EXPECT_EQ(ShownValues(), (std::vector<int>{6, 7, 8, 9, 10}));

    EXPECT_EQ(TypeCondition(ValueColumn, ">5 AND <3"), "");
    EXPECT_EQ(Row().ConditionOf(ValueColumn).relation, TFilterRelation::And);
    EXPECT_TRUE(ShownValues().empty());
    EXPECT_EQ(TypeCondition(ValueColumn, "IN (2, 5,9) OR >9"), "");
    EXPECT_EQ(ShownValues(), (std::vector<int>{2, 5, 9, 10}));

    EXPECT_EQ(TypeCondition(ErrorColumn, "abc"), "");
    EXPECT_EQ(Row().ConditionOf(ErrorColumn).first.op, TFilterOperator::Like);
    EXPECT_EQ(ShownValues(), std::vector<int>{5}) << "every column's condition must hold";
    EXPECT_EQ(TypeCondition(ValueColumn, ""), "");
    EXPECT_EQ(TypeCondition(ErrorColumn, "%timeout%"), "");
    EXPECT_EQ(ShownValues(), (std::vector<int>{3, 6, 9})) << "like ignores letter case";

    EXPECT_EQ(TypeCondition(TimeColumn, ">=NOW"), "");
    EXPECT_TRUE(Row().ConditionOf(TimeColumn).first.operands.at(0).isNow);
    EXPECT_TRUE(ShownValues().empty()) << "every row lies before the moment of applying";
    EXPECT_EQ(table.RecordCount(), 10);
}

TEST_F(FilterRow, EntriesSetConditionsAndOnlyClearAndApplyFilter) {
    ASSERT_EQ(TypeCondition(ValueColumn, "<4"), "");
    ASSERT_EQ(ShownValues(), (std::vector<int>{1, 2, 3}));
    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ErrorColumn).center());
    QComboBox& editor = Row().Editor();
    ASSERT_EQ(editor.count(), 6);
    EXPECT_EQ(ToCp1251(editor.itemText(0)), "(\xCE\xF7\xE8\xF1\xF2\xE8\xF2\xFC \xF4\xE8\xEB\xFC\xF2\xF0)");
    EXPECT_EQ(editor.itemText(0), QString::fromUtf8("(Очистить фильтр)"));
    EXPECT_EQ(editor.itemText(1), QString::fromUtf8("(Применить фильтр)"));
    EXPECT_EQ(editor.itemText(2), QString::fromUtf8("(Условие...)"));
    EXPECT_EQ(editor.itemText(3), QString::fromUtf8("(Все)"));
    EXPECT_EQ(editor.itemText(4), QString::fromUtf8("(Не пустые)"));
    EXPECT_EQ(editor.itemText(5), QString::fromUtf8("(Пустые)"));
    EXPECT_EQ(editor.maxVisibleItems(), 17);

    emit editor.activated(TFilterRow::Empty);
    EXPECT_EQ(ConditionText(ErrorColumn), "=Null");
    EXPECT_EQ(editor.currentText(), "=Null");
    EXPECT_EQ(ShownValues(), (std::vector<int>{1, 2, 3})) << "not applied yet";
    emit editor.activated(TFilterRow::ApplyFilter);
    EXPECT_EQ(ShownValues(), (std::vector<int>{1, 2})) << "empty errors count as empty";
    emit editor.activated(TFilterRow::NotEmpty);
    EXPECT_EQ(ConditionText(ErrorColumn), "<>Null");
    emit editor.activated(TFilterRow::All);
    EXPECT_FALSE(Row().ConditionOf(ErrorColumn).IsSet());

    // Picking an entry works on the text the user typed, not on the entry's caption.
    editor.lineEdit()->selectAll();
    QTest::keyClicks(editor.lineEdit(), "abc");
    emit editor.activated(TFilterRow::ApplyFilter);
    EXPECT_EQ(ConditionText(ErrorColumn), "abc");
    EXPECT_TRUE(ShownValues().empty());

    emit editor.activated(TFilterRow::ClearFilter);
    EXPECT_FALSE(Row().IsEditing());
    EXPECT_FALSE(Row().AnyCondition());
    EXPECT_EQ(ShownValues(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

TEST_F(FilterRow, TheFilterLivesInTheGridOnlyAndNewRowsAppearWhenTheyMatch) {
    QByteArray before = Saved();
    ASSERT_EQ(TypeCondition(ErrorColumn, "%timeout%"), "");
    ASSERT_EQ(ShownValues(), (std::vector<int>{3, 6, 9}));
    EXPECT_EQ(Saved(), before) << "the saved file holds every record";
    EXPECT_TRUE(table.Filter().empty());
    EXPECT_FALSE(table.Filtered());

    QAbstractItemModelTester tester(grid.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    grid.setFocus();
    Append(11, "");
    Append(12, "read timeout");
    EXPECT_EQ(ShownValues(), (std::vector<int>{3, 6, 9, 12}));
    EXPECT_EQ(table.RecordCount(), 12);
    EXPECT_EQ(CurrentRow(), 3) << "the newest record is current and shown";
    Append(13, "");
    EXPECT_EQ(table.CurrentRow(), 12);
    EXPECT_EQ(CurrentRow(), 3) << "a hidden newest record leaves the grid on the nearest row shown";

    // Deleting from the filtered grid deletes the record under the grid's current row, not a hidden one.
    auto box = AnswerNextBox(QMessageBox::Ok);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    ASSERT_TRUE(box->shown);
    EXPECT_EQ(Values(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13}));
    EXPECT_EQ(ShownValues(), (std::vector<int>{3, 6, 9}));

    table.ClearRecords();
    EXPECT_EQ(grid.ShownRowCount(), 0);
    EXPECT_EQ(ConditionText(ErrorColumn), "%timeout%") << "conditions outlive the log";
}

TEST(GridFilterModel, KeepsItsMappingThroughInsertsRemovalsAndChanges) {
    QStandardItemModel source(0, 1);
    auto add = [&](int value) { source.appendRow(new QStandardItem(QString::number(value))); };
    for (int value = 0; value < 10; ++value)
        add(value);
    TGridFilterModel shown;
    QAbstractItemModelTester tester(&shown, QAbstractItemModelTester::FailureReportingMode::Fatal);
    shown.setSourceModel(&source);
    auto values = [&] {
        std::vector<int> result;
        for (int row = 0; row < shown.rowCount(); ++row)
            result.push_back(shown.index(row, 0).data().toInt());
        return result;
    };
    shown.SetRowFilter([&](int row) { return source.index(row, 0).data().toInt() % 2 == 0; });
    EXPECT_EQ(values(), (std::vector<int>{0, 2, 4, 6, 8}));
    add(12);
    add(13);
    EXPECT_EQ(values(), (std::vector<int>{0, 2, 4, 6, 8, 12}));
    source.insertRow(1, new QStandardItem("20"));
    EXPECT_EQ(values(), (std::vector<int>{0, 20, 2, 4, 6, 8, 12}));
    EXPECT_EQ(shown.SourceRow(1), 1);
    EXPECT_EQ(shown.SourceRow(2), 3);
    source.removeRows(2, 4); // 1, 2, 3, 4
    EXPECT_EQ(values(), (std::vector<int>{0, 20, 6, 8, 12}));
    source.item(0)->setText("1"); // a row that stops matching leaves, one that starts matching comes
    source.item(source.rowCount() - 1)->setText("14");
    EXPECT_EQ(values(), (std::vector<int>{20, 6, 8, 12, 14}));
    EXPECT_EQ(shown.NearestShownRow(0), 0);
    EXPECT_EQ(shown.mapFromSource(source.index(0, 0)), QModelIndex());
    shown.SetRowFilter({});
    EXPECT_EQ(shown.rowCount(), source.rowCount());
}

TEST_F(FilterRow, TheConditionDialogShowsAndComposesTheColumnsCondition) {
    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ErrorColumn).center());
    QTest::keyClicks(Row().Editor().lineEdit(), "%timeout%");
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<TFilterConditionDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Пользовательский фильтр"));
        ASSERT_EQ(dialog->Operator(0)->count(), 19);
        EXPECT_EQ(dialog->Operator(0)->itemText(0), "");
        EXPECT_EQ(dialog->Operator(0)->itemText(1), QString::fromUtf8("равно"));
        EXPECT_EQ(dialog->Operator(0)->itemText(18), QString::fromUtf8("не пустые"));
        EXPECT_EQ(dialog->Operator(0)->currentText(), QString::fromUtf8("содержит"));
        EXPECT_EQ(dialog->Value(0)->text(), "timeout");
        EXPECT_TRUE(dialog->AndButton()->isChecked());
        EXPECT_EQ(dialog->AndButton()->text(), QString::fromUtf8("&И"));
        EXPECT_EQ(dialog->OrButton()->text(), QString::fromUtf8("И&ли"));
        dialog->Operator(1)->setCurrentText(QString::fromUtf8("равно"));
        dialog->Value(1)->setText("it's");
        dialog->OrButton()->setChecked(true);
        dialog->accept();
    });
    emit Row().Editor().activated(TFilterRow::Condition);
    ASSERT_TRUE(seen);
    EXPECT_EQ(ConditionText(ErrorColumn), "~ '%timeout%' OR = 'it''s'");
    EXPECT_EQ(ShownValues().size(), 10u) << "the dialog does not apply";
    grid.ApplyFilter();
    EXPECT_EQ(ShownValues(), (std::vector<int>{3, 6, 9}));
}

TEST(FilterConditionDialog, EveryOperatorHasItsCaptionComposesItsConditionAndIsShownAgainFromIt) {
    struct Case {
        const char* caption;
        const char* value;     // typed into the row
        const char* condition; // what the row composes
    } cases[] = {
        {"равно", "it's", "= 'it''s'"},
        {"не равно", "it's", "<> 'it''s'"},
        {"больше", "it's", "> 'it''s'"},
        {"больше или равно", "it's", ">= 'it''s'"},
        {"меньше", "it's", "< 'it''s'"},
        {"меньше или равно", "it's", "<= 'it''s'"},
        {"начинается с", "it's", "~ 'it''s%'"},
        {"не начинается с", "it's", "!~ 'it''s%'"},
        {"заканчивается на", "it's", "~ '%it''s'"},
        {"не заканчивается на", "it's", "!~ '%it''s'"},
        {"содержит", "it's", "~ '%it''s%'"},
        {"не содержит", "it's", "!~ '%it''s%'"},
        {"подобно", "it's", "~ 'it''s'"},
        {"не подобно", "it's", "!~ 'it''s'"},
        {"в списке", "a, b", "IN (a, b)"},
        {"не в списке", "a, b", "NOT IN (a, b)"},
        {"пустые", "", "NULL"},
        {"не пустые", "", "NOT NULL"},
    };
    TFilterConditionDialog dialog;
    const int entries = static_cast<int>(std::size(cases));
    ASSERT_EQ(dialog.Operator(0)->count(), entries + 1);
    EXPECT_EQ(dialog.ConditionText(), "") << "no operator chosen";
    for (int entry = 1; entry <= entries; ++entry) {
        const Case& c = cases[entry - 1];
        SCOPED_TRACE(c.condition);
        EXPECT_EQ(dialog.Operator(0)->itemText(entry), QString::fromUtf8(c.caption));
        dialog.Operator(0)->setCurrentIndex(entry);
        dialog.Value(0)->setText(QString::fromUtf8(c.value));
        EXPECT_EQ(dialog.ConditionText(), c.condition);

        TFilterConditionDialog shown;
        shown.SetCondition(ParseFilterExpression(c.condition, TFilterExpressionType::Text, UserFilterLocale()));
        EXPECT_EQ(shown.Operator(0)->currentIndex(), entry);
        EXPECT_EQ(shown.Value(0)->text(), QString::fromUtf8(c.value));
    }
}

TEST_F(FilterRow, MovingToAnotherCellKeepsTheTextAndEscDropsIt) {
    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ValueColumn).center());
    QTest::keyClicks(Row().Editor().lineEdit(), "<3");
    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ErrorColumn).center());
    EXPECT_EQ(ConditionText(ValueColumn), "<3");
    EXPECT_EQ(Row().EditedColumn(), ErrorColumn);
    QTest::keyClicks(Row().Editor().lineEdit(), "'open");
    QTest::keyClick(Row().Editor().lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(Row().IsEditing());
    EXPECT_EQ(QApplication::focusWidget(), &grid);
    EXPECT_FALSE(Row().ConditionOf(ErrorColumn).IsSet());
    EXPECT_EQ(ShownValues().size(), 10u) << "nothing applied";
    // Ctrl+Up from any row opens the focused column's cell.
    QTest::keyClick(&grid, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Row().EditedColumn(), grid.FocusedColumn());
}

TEST_F(FilterRow, AResizedDropDownListOpensAtItsSizeAgainForItsColumnOnly) {
    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ErrorColumn).center());
    QComboBox& editor = Row().Editor();
    editor.showPopup();
    QWidget* list = editor.view()->window();
    ASSERT_TRUE(list->isVisible());
    EXPECT_GE(list->width(), 100);
    EXPECT_TRUE(list->findChild<QSizeGrip*>()->isVisible());
    const QSize opened = list->size();
    const QSize resized = opened + QSize(60, 40);
    list->resize(resized);
    editor.hidePopup();

    editor.showPopup();
    EXPECT_EQ(list->size(), resized) << "the same column's list keeps the user's size";
    editor.hidePopup();

    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ValueColumn).center());
    editor.showPopup();
    EXPECT_NE(list->size(), resized) << "another column's list opens at its own size";
    editor.hidePopup();

    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ErrorColumn).center());
    editor.showPopup();
    EXPECT_EQ(list->size(), resized);
    editor.hidePopup();
}

TEST_F(FilterRow, LeavingTheFilterRowReturnsToTheSameCellSoCtrlDeleteDeletesThatRecord) {
    for (int column : {TimeColumn, ValueColumn, ErrorColumn}) {
        for (const char* way : {"Esc", "Down", "clear filter"}) {
            SCOPED_TRACE(testing::Message() << "column " << column << ", left by " << way);
            grid.activateWindow(); // the window is active again after the last confirmation box
            ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(1, column));
            const int record = ShownValues().at(1);
            Key(Qt::Key_Up, Qt::ControlModifier);
            ASSERT_TRUE(Row().IsEditing());
            if (std::string(way) == "Esc")
                Key(Qt::Key_Escape);
            else if (std::string(way) == "Down")
                Key(Qt::Key_Down);
            else
                emit Row().Editor().activated(TFilterRow::ClearFilter);
            EXPECT_FALSE(Row().IsEditing());
            EXPECT_EQ(QApplication::focusWidget(), &grid);
            EXPECT_EQ(CurrentRow(), 1);
            EXPECT_EQ(grid.FocusedColumn(), column);

            auto box = AnswerNextBox(QMessageBox::Ok);
            Key(Qt::Key_Delete, Qt::ControlModifier);
            ASSERT_TRUE(box->shown);
            const std::vector<int> values = Values();
            EXPECT_EQ(std::count(values.begin(), values.end(), record), 0) << "the record that was current goes";
        }
    }
    EXPECT_EQ(table.RecordCount(), 1);
}

TEST_F(FilterRow, AfterTheShownRowsChangeTheCurrentRecordIsOnScreen) {
    AppendValues(11, 2990);
    const auto currentOnScreen = [this] {
        return CurrentRow() >= grid.TopShownRow() && CurrentRow() < grid.TopShownRow() + grid.VisibleRowCount();
    };
    ASSERT_EQ(TypeCondition(ValueColumn, ">2900"), "");
    ASSERT_EQ(grid.ShownRowCount(), 100);
    EXPECT_EQ(CurrentRow(), 99);
    EXPECT_TRUE(currentOnScreen());

    QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(ValueColumn).center());
    emit Row().Editor().activated(TFilterRow::ClearFilter);
    ASSERT_EQ(grid.ShownRowCount(), 3000);
    EXPECT_EQ(grid.TableRow(CurrentRow()), table.CurrentRow());
    EXPECT_EQ(CurrentRow(), 2999);
    EXPECT_TRUE(currentOnScreen()) << "top row " << grid.TopShownRow();

    grid.SetCurrentCell(1500, ValueColumn);
    ASSERT_EQ(TypeCondition(ValueColumn, ">1400"), "");
    EXPECT_EQ(CurrentRow(), 100);
    EXPECT_TRUE(currentOnScreen()) << "top row " << grid.TopShownRow();
    ASSERT_EQ(TypeCondition(ValueColumn, "<50"), "");
    EXPECT_EQ(CurrentRow(), 48) << "the record is hidden: the nearest shown row before it";
    EXPECT_TRUE(currentOnScreen()) << "top row " << grid.TopShownRow();
}

TEST_F(FilterRow, ClickingADataCellClosesTheEditorAndTheCellShowsTheConditionInForce) {
    ASSERT_EQ(TypeCondition(TimeColumn, ""), "");
    for (int column : {TimeColumn, ValueColumn}) {
        QTest::mouseClick(&Row(), Qt::LeftButton, {}, Row().CellRect(column).center());
        QTest::keyClicks(Row().Editor().lineEdit(), "zz");
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, CellCenter(2, ErrorColumn));
        EXPECT_FALSE(Row().IsEditing()) << column;
        EXPECT_FALSE(Row().Editor().isVisible()) << column;
        EXPECT_FALSE(Row().ConditionOf(column).IsSet()) << "a text that does not parse is dropped";
        EXPECT_EQ(CurrentRow(), 2);
    }
}

TEST(FilterRowDates, EveryTimeTheGridShowsIsReadBackAndFindsItsRowInEveryLocale) {
    const QLocale saved;
    // Midnight, a second after it, morning, noon and afternoon; the milliseconds the grid does not show.
    const std::vector<TDateTime> times = {
        EncodeDate(2024, 3, 5),
        EncodeDateTime({2024, 3, 5}, {0, 0, 1, 250}),
        EncodeDateTime({2024, 3, 5}, {9, 5, 7, 400}),
        EncodeDateTime({2024, 3, 5}, {12, 30, 0, 0}),
        EncodeDateTime({2031, 11, 28}, {15, 45, 59, 999}),
    };
    for (const char* name : {"de_DE", "en_US", "ru_RU", "sv_SE", "hu_HU", "en_GB", "cs_CZ"}) {
        SCOPED_TRACE(name);
        QLocale::setDefault(QLocale(name));
        TMemTable table;
        TDataSource source;
        source.SetDataSet(&table);
        TDataGrid grid;
        grid.SetDataSource(&source);
        for (size_t i = 0; i < times.size(); ++i) {
            table.BeginAppend();
            table.MTTime.SetAsDateTime(times[i]);
            table.MTValue.SetValue(int32_t(i));
            table.PostRecord();
        }
        const auto shownValues = [&grid] {
            std::vector<int> values;
            for (int row = 0; row < grid.ShownRowCount(); ++row)
                values.push_back(grid.CellText(row, 1).toInt());
            return values;
        };
        std::vector<std::string> texts;
        for (int row = 0; row < grid.ShownRowCount(); ++row)
            texts.push_back(ToCp1251(grid.CellText(row, 0)));
        ASSERT_EQ(texts.size(), times.size());
        for (int row = 0; row < static_cast<int>(times.size()); ++row) {
            const std::string& shown = texts[row];
            SCOPED_TRACE(shown);
            ASSERT_NO_THROW(grid.FilterRow().SetConditionText(0, "= " + shown));
            grid.ApplyFilter();
            EXPECT_EQ(shownValues(), std::vector<int>{row});
            ASSERT_NO_THROW(grid.FilterRow().SetConditionText(0, ">=" + shown));
            grid.ApplyFilter();
            EXPECT_EQ(static_cast<int>(shownValues().size()), static_cast<int>(times.size()) - row);
        }
    }
    QLocale::setDefault(saved);
}
