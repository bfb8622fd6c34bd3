#include "core/component.h"

std::string TComponent::FullName() const {
    std::string result = m_name;
    for (const TComponent* owner = m_owner; owner != nullptr; owner = owner->Owner()) {
        if (owner->Name().empty())
            continue;
        result = result.empty() ? owner->Name() : owner->Name() + "." + result;
    }
    return result;
}
