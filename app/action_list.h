#pragma once

#include "core/component.h"

#include <functional>

class TAction;

// Groups the window's actions; OnUpdate lets the window adjust them before one executes and when it is idle.
class TActionList : public TComponent {
public:
    using TComponent::TComponent;

    // Handled is false on entry; a handler that updated the action itself sets it.
    std::function<void(TAction* action, bool& Handled)> OnUpdate;

    void UpdateAction(TAction* action);
};
