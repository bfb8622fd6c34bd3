// The grid's find dialog: its texts and its walk through the matches of the rows the grid shows.
#include "view/data_grid_find_dlg.h"

#include "grid_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int TimeColumn = 0;
constexpr int ValueColumn = 1;
constexpr int ErrorColumn = 2;

class FindDialogTest : public GridFixture {
protected:
    FindDialogTest() {
        Append(10, "");
        Append(5003, "connection timeout");
        Append(11, "");
        Append(5001, "Timeout while reading", 46001.25);
        Append(12, "lost: TIMEOUT");
        Append(13, "timeout");
        grid.SetCurrentCell(0, ErrorColumn);
    }

    // Opens the dialog on the grid as Ctrl+F does, without its modal loop.
    void Open(const QString& text, int findIn = ErrorColumn) {
        grid.SetCurrentCell(grid.CurrentShownRow(), findIn);
        dialog.Prepare(grid);
        dialog.cbText()->setEditText(text);
    }
    int Row() const { return grid.CurrentShownRow(); }

    TDataGridFindDlg dialog;
};

TEST_F(FindDialogTest, ShowsItsTextsAndDefaults) {
    Open("");
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Поиск"));
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    QStringList expected{QString::fromUtf8("&Образец:"), QString::fromUtf8("&Поиск в:"),
                         QString::fromUtf8("&Совпадение:"), QString::fromUtf8("Прос&мотр:")};
    expected.sort();
    EXPECT_EQ(labels, expected);
    const auto items = [](QComboBox* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->itemText(i);
        return texts;
    };
    EXPECT_EQ(items(dialog.cbFindIn()), (QStringList{"Time", "Value", "Error", "<All>"}));
    EXPECT_EQ(dialog.cbFindIn()->currentText(), "Error");
    EXPECT_EQ(items(dialog.cbMatchinType()),
              (QStringList{QString::fromUtf8("С любой части поля"), QString::fromUtf8("Поля целиком"),
                           QString::fromUtf8("С начала поля")}));
    EXPECT_EQ(dialog.cbMatchinType()->currentIndex(), 0);
    EXPECT_EQ(items(dialog.cbFindDirection()),
              (QStringList{QString::fromUtf8("Вверх"), QString::fromUtf8("Вниз"), QString::fromUtf8("Все")}));
    EXPECT_EQ(dialog.cbFindDirection()->currentText(), QString::fromUtf8("Все"));
    EXPECT_EQ(dialog.cbCharCase()->text(), QString::fromUtf8("С учетом ре&гистра"));
    EXPECT_FALSE(dialog.cbCharCase()->isChecked());
    EXPECT_EQ(dialog.cbUseFormat()->text(), QString::fromUtf8("С у&четом формата"));
    EXPECT_TRUE(dialog.cbUseFormat()->isChecked());
    EXPECT_EQ(dialog.bFind()->text(), QString::fromUtf8("На&йти далее"));
    EXPECT_TRUE(dialog.bFind()->isDefault());
    EXPECT_EQ(dialog.bCancel()->text(), QString::fromUtf8("Закрыть"));
}

TEST_F(FindDialogTest, FromTheTopFindsEachMatchBelowThenStaysAtTheLastInSilence) {
    grid.SetCurrentCell(4, ErrorColumn);
    Open("timeout");
    // Enter in the text finds next.
    QTest::keyClick(dialog.cbText(), Qt::Key_Return);
    std::vector<int> rows{Row()};
    while (dialog.FindNext())
        rows.push_back(Row());
    EXPECT_EQ(rows, (std::vector<int>{1, 3, 4, 5}));
    EXPECT_EQ(Row(), 5);
    EXPECT_EQ(grid.FocusedColumn(), ErrorColumn);
    EXPECT_EQ(dialog.cbText()->count(), 1) << "the text is listed once";

    // Ctrl turns the search upwards.
    EXPECT_TRUE(dialog.FindNext(true));
    EXPECT_EQ(Row(), 4);

    // Changing the text starts again from the top.
    dialog.cbText()->setEditText("TIMEOUT");
    dialog.cbCharCase()->setChecked(true);
    EXPECT_TRUE(dialog.FindNext());
    EXPECT_EQ(Row(), 4);
    EXPECT_FALSE(dialog.FindNext());
    EXPECT_EQ(Row(), 4);
    EXPECT_EQ(dialog.cbText()->count(), 2);
}

TEST_F(FindDialogTest, MatchTypesCompareTheWholeCellOrItsStart) {
    Open("timeout");
    dialog.cbMatchinType()->setCurrentIndex(1);
    EXPECT_TRUE(dialog.FindNext());
    EXPECT_EQ(Row(), 5);
    dialog.cbText()->setEditText("time");
    EXPECT_FALSE(dialog.FindNext());
    EXPECT_EQ(Row(), 5);
    dialog.cbMatchinType()->setCurrentIndex(2);
    dialog.cbFindDirection()->setCurrentIndex(0); // up from row 5
    EXPECT_TRUE(dialog.FindNext());
    EXPECT_EQ(Row(), 3);
}

TEST_F(FindDialogTest, TheTimeColumnIsSearchedByTheTextTheGridShows) {
    const QString shown = grid.CellText(3, TimeColumn);
    ASSERT_FALSE(shown.isEmpty());
    Open(shown.right(8), TimeColumn); // the time of day as displayed
    dialog.cbMatchinType()->setCurrentIndex(0);
    EXPECT_TRUE(dialog.FindNext());
    EXPECT_EQ(Row(), 3);
    EXPECT_EQ(grid.FocusedColumn(), TimeColumn);
}

TEST_F(FindDialogTest, AllColumnsAreVisitedInScreenOrderWithinARow) {
    grid.horizontalHeader()->moveSection(ErrorColumn, 0); // screen order: Error, Time, Value
    Open("1");
    dialog.cbFindIn()->setCurrentIndex(dialog.cbFindIn()->count() - 1);
    ASSERT_EQ(dialog.cbFindIn()->currentText(), "<All>");
    std::vector<std::pair<int, int>> cells;
    while (dialog.FindNext() && cells.size() < 4)
        cells.emplace_back(Row(), grid.FocusedColumn());
    ASSERT_GE(cells.size(), 3u);
    // Every shown time holds a "1"; so does the value 10 of the first row.
    EXPECT_EQ(cells[0], std::make_pair(0, TimeColumn));
    EXPECT_EQ(cells[1], std::make_pair(0, ValueColumn));
    EXPECT_EQ(cells[2], std::make_pair(1, TimeColumn));
}

TEST_F(FindDialogTest, CtrlFOpensOneDialogAndReusesIt) {
    int opened = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* shown = qobject_cast<TDataGridFindDlg*>(QApplication::activeModalWidget())) {
            ++opened;
            shown->cbText()->setEditText("timeout");
            shown->FindNext();
            shown->bCancel()->click();
        }
    });
    closer.start(10);
    QTest::keyClick(&grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(Row(), 1);
    QTest::keyClick(&grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(grid.findChildren<TDataGridFindDlg*>().size(), 1);
    // The second opening started a new search from the top: it found row 1 again.
    EXPECT_EQ(Row(), 1);
    EXPECT_EQ(grid.findChild<TDataGridFindDlg*>()->cbText()->count(), 1);
}

TEST_F(FindDialogTest, OnlyTheRowsTheFilterShowsAreSearched) {
    grid.FilterRow().SetConditionText(ValueColumn, ">5000");
    ASSERT_TRUE(grid.ApplyFilter());
    ASSERT_EQ(grid.ShownRowCount(), 2);
    Open("timeout");
    std::vector<std::pair<int, int>> found; // shown row, table row
    while (dialog.FindNext())
        found.emplace_back(Row(), table.CurrentRow());
    EXPECT_EQ(found, (std::vector<std::pair<int, int>>{{0, 1}, {1, 3}}));
}
} // namespace
