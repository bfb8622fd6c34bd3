// The spin edits read their value from whatever text stands, and only rewrite it when stepped, set or left
// out of bounds.
#include "app/spin_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
// The window's two spin edits beside a second control to move the focus to.
struct SpinEdits : testing::Test {
    QWidget window;
    TSpinEdit* period = new TSpinEdit(&window);
    TSpinEdit* amount = new TSpinEdit(&window);

    SpinEdits() {
        period->SetMinValue(1);
        period->SetMaxValue(3600);
        amount->SetMinValue(1);
        amount->SetMaxValue(10000);
        amount->move(0, 30);
        period->resize(121, 22);
        amount->resize(121, 22);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        period->setFocus();
    }

    static void Retype(TSpinEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
};
} // namespace

TEST(SpinEdit, StartsWithTextZeroAndClampsEverySetValue) {
    TSpinEdit edit;
    EXPECT_EQ(edit.text(), "0");
    edit.SetMinValue(1);
    edit.SetMaxValue(3600);
    EXPECT_EQ(edit.text(), "0"); // bounds alone rewrite nothing
    edit.SetValue(5000);
    EXPECT_EQ(edit.text(), "3600");
    edit.SetValue(-7);
    EXPECT_EQ(edit.text(), "1");
    edit.SetValue(10);
    EXPECT_EQ(edit.text(), "10");

    TSpinEdit unbounded; // equal bounds: no clamping at all
    unbounded.SetValue(-123456);
    EXPECT_EQ(unbounded.text(), "-123456");
}

TEST(SpinEdit, ValueComesFromTheTextOrIsTheMinimumWithoutRewritingIt) {
    TSpinEdit edit;
    edit.SetMinValue(1);
    edit.SetMaxValue(10000);
    for (const auto& [text, value] : std::vector<std::pair<QString, int>>{
             {"abc", 1}, {"", 1}, {"99999", 99999}, {"0", 0}, {"-5", -5}, {"+12", 12}, {"3000000000", 1}}) {
        edit.setText(text);
        EXPECT_EQ(edit.Value(), value) << text.toStdString();
        EXPECT_EQ(edit.text(), text);
    }
}

TEST_F(SpinEdits, LeavingWithAValueOutOfBoundsRewritesItAndUnconvertibleTextStays) {
    Retype(amount, "0");
    QTest::keyClick(amount, Qt::Key_Tab);
    EXPECT_EQ(amount->text(), "1");

    Retype(period, "99999");
    QTest::keyClick(period, Qt::Key_Tab);
    EXPECT_EQ(period->text(), "3600");

    period->setFocus();
    period->selectAll();
    QApplication::clipboard()->setText("abc");
    QTest::keyClick(period, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(period->text(), "abc");
    EXPECT_EQ(period->Value(), 1);
    amount->setFocus();
    EXPECT_EQ(period->text(), "abc");
}

TEST_F(SpinEdits, TypingRefusesLettersAndEnterWithABeep) {
    Retype(amount, "12");
    QSignalSpy refused(amount, &TSpinEdit::keyRefused);
    QTest::keyClicks(amount, "x;");
    QTest::keyClick(amount, Qt::Key_Return);
    QTest::keyClick(amount, Qt::Key_Enter);
    EXPECT_EQ(refused.count(), 4);
    EXPECT_EQ(amount->text(), "12");
    QTest::keyClicks(amount, "+-");
    QTest::keyClick(amount, Qt::Key_Backspace);
    EXPECT_EQ(refused.count(), 4);
    EXPECT_EQ(amount->text(), "12+");
}

TEST_F(SpinEdits, UpAndDownStepWithoutWrapping) {
    amount->setFocus();
    amount->SetValue(10000);
    QTest::keyClick(amount, Qt::Key_Up);
    EXPECT_EQ(amount->text(), "10000");
    QTest::keyClick(amount, Qt::Key_Down);
    EXPECT_EQ(amount->text(), "9999");

    amount->setText("");
    QTest::keyClick(amount, Qt::Key_Up);
    EXPECT_EQ(amount->text(), "2");
    amount->setText("abc");
    QTest::keyClick(amount, Qt::Key_Down);
    EXPECT_EQ(amount->text(), "1"); // from the minimum, clamped
    amount->setText("50000");
    QTest::keyClick(amount, Qt::Key_Down);
    EXPECT_EQ(amount->text(), "10000");
}

TEST_F(SpinEdits, ArrowButtonsStepTakeTheFocusAndRepeatWhileHeld) {
    EXPECT_EQ(amount->UpButton()->size(), QSize(15, 8));
    EXPECT_EQ(amount->DownButton()->size(), QSize(15, 9));
    EXPECT_EQ(amount->DownButton()->geometry().bottom() - amount->UpButton()->geometry().top() + 1, 17);
    EXPECT_GE(amount->UpButton()->x() + 15, amount->width() - 4); // inside the right edge
    EXPECT_EQ(amount->UpButton()->autoRepeatDelay(), 400);
    EXPECT_EQ(amount->UpButton()->autoRepeatInterval(), 100);

    period->setFocus();
    amount->SetValue(10);
    QTest::mouseClick(amount->UpButton(), Qt::LeftButton);
    EXPECT_EQ(amount->text(), "11");
    EXPECT_EQ(QApplication::focusWidget(), amount);
    QTest::mouseClick(amount->DownButton(), Qt::LeftButton);
    QTest::mouseClick(amount->DownButton(), Qt::LeftButton);
    EXPECT_EQ(amount->text(), "9");

    // Held: one step at the press, then repeats after 400 ms and every 100 ms; so the third step comes no sooner
    // than 500 ms after the press (a coarse timer may fire up to 5 % early), and none after the release.
    QElapsedTimer held;
    held.start();
    QTest::mousePress(amount->UpButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return amount->Value() >= 12; }, 5000));
    EXPECT_GE(held.elapsed(), 475);
    QTest::mouseRelease(amount->UpButton(), Qt::LeftButton);
    const int released = amount->Value();
    QTest::qWait(150);
    EXPECT_EQ(amount->Value(), released);
}
