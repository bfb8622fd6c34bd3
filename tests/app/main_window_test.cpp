// The window as designed: places, sizes, captions, tab order and the look of its controls.
#include "app/action.h"
#include "app/labeled_edit.h"
#include "app/link_label.h"
#include "app/main_window.h"
#include "app/spin_edit.h"
#include "app/test_cycle.h"
#include "quiet_form.h"
#include "view/data_grid.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// Readable failures for rectangles.
void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {
QRect BoundsIn(QWidget* widget, QWidget* ancestor) {
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}
} // namespace

TEST(MainWindow, ControlsLieAtTheirDesignedPlacesWithTheirInitialContent) {
    QuietForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* panel = form.pnl1();
    EXPECT_EQ(form.windowTitle(), "Connection tester");
    EXPECT_EQ(panel->geometry(), QRect(0, 0, 349, 383));
    // The state line lies below the grid, as wide as it.
    const int stateHeight = form.StateLine()->height();
    EXPECT_GT(stateHeight, 0);
    EXPECT_EQ(form.DataGrid1()->geometry(), QRect(349, 0, 300, 383 - stateHeight));
    EXPECT_EQ(form.StateLine()->geometry(), QRect(349, 383 - stateHeight, 300, stateHeight));
    EXPECT_EQ(form.StateLine()->text(), "Stopped");

    const struct {
        QWidget* widget;
        QRect bounds;
    } expected[] = {
        {form.edDBName(), {20, 24, 305, 21}},    {form.edUser(), {20, 68, 125, 21}},
        {form.edPassword(), {20, 108, 125, 21}}, {form.sePeriod(), {108, 140, 121, 22}},
        {form.seAmount(), {108, 164, 121, 22}},  {form.mSQL(), {20, 212, 309, 89}},
        {form.btnStart(), {20, 312, 75, 25}},    {form.btnStop(), {108, 312, 75, 25}},
        {form.btnSave(), {256, 312, 75, 25}},
    };
    for (const auto& control : expected)
        EXPECT_EQ(BoundsIn(control.widget, panel), control.bounds)
            << control.widget->objectName().toStdString();

    // Labels keep their designed top-left corner and size (or grow to their text where the designed face is
    // missing); link labels keep their right edge. No caption is cut off.
    const struct {
        QLabel* label;
        QRect bounds;
        bool rightAligned;
    } labels[] = {
        {form.lbl1(), {20, 144, 56, 13}, false},        {form.lbl2(), {20, 168, 73, 13}, false},
        {form.lbl3(), {20, 192, 21, 13}, false},        {form.lblCopyright(), {226, 344, 103, 13}, true},
        {form.lblTessmark(), {240, 360, 89, 13}, true},
    };
    for (const auto& expectedLabel : labels) {
        const QRect actual = BoundsIn(expectedLabel.label, panel);
        const std::string name =
            expectedLabel.label->objectName().toStdString() + expectedLabel.label->text().toStdString();
        EXPECT_EQ(actual.topLeft(), expectedLabel.bounds.topLeft()) << name;
        EXPECT_GE(actual.height(), expectedLabel.bounds.height()) << name;
        if (expectedLabel.rightAligned)
            EXPECT_EQ(actual.right(), expectedLabel.bounds.right()) << name;
        else
            EXPECT_GE(actual.width(), expectedLabel.bounds.width()) << name;
        EXPECT_GE(actual.width(), expectedLabel.label->sizeHint().width()) << name;
    }

    // Each edit's label stands 3 pixels above it, left-aligned.
    for (TLabeledEdit* edit : {form.edDBName(), form.edUser(), form.edPassword()}) {
        const QRect label = BoundsIn(edit->EditLabel(), panel);
        EXPECT_EQ(label.left(), edit->x());
        EXPECT_EQ(label.bottom() + 1 + 3, edit->y());
    }
    EXPECT_EQ(form.edUser()->EditLabel()->text(), "User");
    EXPECT_EQ(form.edDBName()->EditLabel()->text(), "Database");
    EXPECT_EQ(form.edPassword()->EditLabel()->text(), "Password");
    EXPECT_EQ(form.lbl1()->text(), "Period (sec)");
    EXPECT_EQ(form.lbl2()->text(), "Amount queries");
    EXPECT_EQ(form.lbl3()->text(), "SQL");

    EXPECT_EQ(form.edDBName()->text(), "");
    EXPECT_EQ(form.edUser()->text(), "SYSDBA");
    EXPECT_EQ(form.edPassword()->text(), "");
    EXPECT_EQ(form.sePeriod()->text(), "10");
    EXPECT_EQ(form.seAmount()->text(), "10");
    EXPECT_EQ(form.sePeriod()->MaxValue(), 3600);
    EXPECT_EQ(form.seAmount()->MaxValue(), 10000);
    EXPECT_EQ(form.seAmount()->MinValue(), 1);
    EXPECT_EQ(form.mSQL()->toPlainText(), "select 1 from rdb$database");
    EXPECT_EQ(form.btnStart()->text(), "Start");
    EXPECT_EQ(form.btnStop()->text(), "Stop");
    EXPECT_EQ(form.btnSave()->text(), "Save");
    EXPECT_EQ(form.btnSave()->iconSize(), QSize(17, 17));
    EXPECT_FALSE(form.btnSave()->icon().isNull());
    EXPECT_FALSE(form.TestCycle()->Running());
}

TEST(MainWindow, ExtraWidthGoesToTheGridAndTheClientAreaStopsAtItsMinimum) {
    QuietForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.minimumSizeHint().expandedTo(form.minimumSize()), QSize(649, 383));
    form.resize(900, 500);
    QTest::qWait(20);
    EXPECT_EQ(form.pnl1()->geometry(), QRect(0, 0, 349, 500));
    EXPECT_EQ(form.DataGrid1()->geometry(), QRect(349, 0, 551, 500 - form.StateLine()->height()));
    // The controls keep their places relative to the panel's top-left corner.
    EXPECT_EQ(form.btnSave()->geometry(), QRect(256, 312, 75, 25));
    form.resize(300, 200);
    QTest::qWait(20);
    EXPECT_EQ(form.size(), QSize(649, 383));
}

TEST(MainWindow, TabOrderRunsThroughTheEntriesWithTheMemoBeforeTheSpinEdits) {
    QuietForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.btnStop()->isEnabled()); // stopped at start-up, so Tab passes over Stop
    const auto tabThrough = [&](std::vector<QWidget*> expected) {
        form.edDBName()->setFocus();
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
        }
    };
    tabThrough({form.edUser(), form.edPassword(), form.mSQL(), form.sePeriod(), form.seAmount(),
                form.btnStart(), form.btnSave(), form.DataGrid1()});
    form.btnStop()->setEnabled(true);
    tabThrough({form.edUser(), form.edPassword(), form.mSQL(), form.sePeriod(), form.seAmount(),
                form.btnStart(), form.btnStop(), form.btnSave(), form.DataGrid1()});
}

TEST(MainWindow, PasswordIsMaskedButReadAsTyped) {
    QuietForm form;
    form.show();
    QTest::keyClicks(form.edPassword(), "secret");
    EXPECT_EQ(form.edPassword()->text(), "secret");
    EXPECT_EQ(form.edPassword()->displayText(), "******");
}

TEST(MainWindow, LinkLabelsLookLikeLinksAndHoldTheirAddressWithoutTooltip) {
    QuietForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (TLinkLabel* label : {form.lblCopyright(), form.lblTessmark()}) {
        EXPECT_TRUE(label->font().underline());
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 0, 128));
        EXPECT_TRUE(label->alignment() & Qt::AlignRight);
        EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_FALSE(label->Hint().isEmpty());
        EXPECT_TRUE(label->toolTip().isEmpty());
    }
}

TEST(MainWindow, MemoTakesEnterAsANewLine) {
    QuietForm form;
    form.show();
    form.mSQL()->setFocus();
    form.mSQL()->moveCursor(QTextCursor::End);
    QTest::keyClick(form.mSQL(), Qt::Key_Return);
    QTest::keyClicks(form.mSQL(), "where 1=1");
    EXPECT_EQ(form.mSQL()->toPlainText(), "select 1 from rdb$database\nwhere 1=1");
}
