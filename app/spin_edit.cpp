#include "app/spin_edit.h"

#include "core/convert.h"
#include "core/text_codec.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QToolButton>
#include <algorithm>

namespace {
// The two arrow buttons share a 15 x 17 area inside the right edge, the upper one taking the smaller half.
constexpr int ArrowAreaWidth = 15;
constexpr int ArrowAreaHeight = 17;
constexpr int FirstRepeatDelayMs = 400;
constexpr int RepeatIntervalMs = 100;
} // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent) {
    m_upButton = MakeArrowButton(Qt::UpArrow, +1);
    m_downButton = MakeArrowButton(Qt::DownArrow, -1);
    setTextMargins(0, 0, ArrowAreaWidth, 0);
    setText("0");
}

QToolButton* TSpinEdit::MakeArrowButton(Qt::ArrowType arrow, int delta) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(FirstRepeatDelayMs);
    button->setAutoRepeatInterval(RepeatIntervalMs);
    connect(button, &QToolButton::pressed, this, [this] { setFocus(Qt::MouseFocusReason); });
    // With auto-repeat, clicked() comes once for the press and once per repeat.
    connect(button, &QToolButton::clicked, this, [this, delta] { Step(delta); });
    return button;
}

int32_t TSpinEdit::Value() const {
    int32_t value = 0;
    return TryStrToInt(ToCp1251(text()), value) ? value : m_minValue;
}

int32_t TSpinEdit::Clamped(int64_t value) const {
    if (m_minValue == m_maxValue)
        return static_cast<int32_t>(value);
    return static_cast<int32_t>(std::clamp<int64_t>(value, m_minValue, m_maxValue));
}

void TSpinEdit::SetValue(int32_t value) { setText(QString::number(Clamped(value))); }

void TSpinEdit::Step(int delta) { SetValue(Clamped(int64_t{Value()} + delta)); }

bool TSpinEdit::IsAcceptedCharacter(const QString& text) const {
    const QChar c = text.front();
    if (c.isDigit() && c.unicode() < 128)
        return true;
    return c == '+' || c == '-' || c == QLocale().decimalPoint().front();
}

void TSpinEdit::RefuseKey() {
    QApplication::beep();
    emit keyRefused();
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        Step(+1);
        return;
    case Qt::Key_Down:
        Step(-1);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        RefuseKey();
        return;
    default:
        break;
    }
    const QString typed = event->text();
    // Control characters (Backspace, Ctrl+V, Ctrl+X...) and keys without text go to the editor as usual, so
    // pasting and cutting stay possible.
    const bool isControl = typed.isEmpty() || typed.front().unicode() < 0x20 || typed.front().unicode() == 0x7f ||
                           event->modifiers().testAnyFlags(Qt::ControlModifier | Qt::MetaModifier);
    if (!isControl && !IsAcceptedCharacter(typed)) {
        RefuseKey();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    const int32_t value = Value();
    if (value != Clamped(value))
        SetValue(value);
    QLineEdit::focusOutEvent(event);
}

void TSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int left = width() - ArrowAreaWidth - 2;
    const int top = std::max(0, (height() - ArrowAreaHeight) / 2);
    const int upHeight = ArrowAreaHeight / 2;
    m_upButton->setGeometry(left, top, ArrowAreaWidth, upHeight);
    m_downButton->setGeometry(left, top + upHeight, ArrowAreaWidth, ArrowAreaHeight - upHeight);
}
