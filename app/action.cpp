#include "app/action.h"

#include "app/action_list.h"

#include <QAbstractButton>

TAction::TAction(TActionList* list, std::string name, QString caption)
    : TComponent(list ? list->Owner() : nullptr, std::move(name)), m_list(list), m_caption(std::move(caption)) {}

void TAction::SetEnabled(bool enabled) {
    m_enabled = enabled;
    for (QAbstractButton* button : m_buttons)
        button->setEnabled(enabled);
}

bool TAction::Execute() {
    if (m_list)
        m_list->UpdateAction(this);
    if (!m_enabled || !OnExecute)
        return false;
    OnExecute(this);
    return true;
}

void TAction::BindButton(QAbstractButton* button) {
    m_buttons.push_back(button);
    button->setText(m_caption);
    button->setEnabled(m_enabled);
}
