#pragma once

#include "core/component.h"

#include <QString>
#include <functional>
#include <vector>

class QAbstractButton;
class TActionList;

// A command that buttons can be bound to: they show its caption and follow its enabled state. The window
// connects their clicks to Execute itself, so that errors escaping the command reach its message box.
class TAction : public TComponent {
public:
    TAction(TActionList* list, std::string name, QString caption);

    const QString& Caption() const { return m_caption; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);

    std::function<void(TAction* sender)> OnExecute;

    // Updates the action through its list first; then runs OnExecute when the action is enabled.
    // Returns whether OnExecute ran.
    bool Execute();

    void BindButton(QAbstractButton* button);

private:
    TActionList* m_list;
    QString m_caption;
    bool m_enabled = true;
    std::vector<QAbstractButton*> m_buttons;
};
