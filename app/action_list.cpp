#include "app/action_list.h"

void TActionList::UpdateAction(TAction* action) {
    bool handled = false;
    if (OnUpdate)
        OnUpdate(action, handled);
}
