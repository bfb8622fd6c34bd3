#pragma once

#include <QLineEdit>
#include <cstdint>

class QToolButton;

// A numeric editor whose value is read from its text on demand. Unlike QSpinBox it lets unfinished text stand
// (empty, "abc", "0") and only rewrites it when stepped, set, or left with a value outside the bounds.
class TSpinEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int32_t MinValue() const { return m_minValue; }
    void SetMinValue(int32_t value) { m_minValue = value; }
    int32_t MaxValue() const { return m_maxValue; }
    void SetMaxValue(int32_t value) { m_maxValue = value; }

    // The text as a signed 32-bit integer, or MinValue when it does not convert; reading changes nothing.
    int32_t Value() const;
    // Clamps into the bounds (unless they are equal) and writes the decimal text.
    void SetValue(int32_t value);

    QToolButton* UpButton() const { return m_upButton; }
    QToolButton* DownButton() const { return m_downButton; }

signals:
    // A typed character (or Enter) was refused; the editor has beeped.
    void keyRefused();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int32_t Clamped(int64_t value) const;
    void Step(int delta);
    bool IsAcceptedCharacter(const QString& text) const;
    void RefuseKey();
    QToolButton* MakeArrowButton(Qt::ArrowType arrow, int delta);

    int32_t m_minValue = 0;
    int32_t m_maxValue = 0;
    QToolButton* m_upButton;
    QToolButton* m_downButton;
};
