#pragma once

#include <QLabel>
#include <functional>

// A label styled as a link (navy, underlined, right-aligned, hand cursor). Its address lives in Hint(), which is
// never shown as a tooltip; a left click calls OnClick with the label as the sender.
class TLinkLabel : public QLabel {
public:
    explicit TLinkLabel(QWidget* parent = nullptr);

    const QString& Hint() const { return m_hint; }
    void SetHint(const QString& hint) { m_hint = hint; }

    std::function<void(TLinkLabel* sender)> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_hint;
};
