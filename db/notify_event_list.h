#pragma once

#include <functional>
#include <utility>
#include <vector>

class TComponent;

// A plain notification: the component it concerns.
using TNotifyEvent = std::function<void(TComponent& sender)>;

// Listeners that other parts of the program add to a connection or transaction; they are called in order of
// adding or, where the caller says so, last added first. A listener may remove itself while being called.
template <typename... Arguments>
class TNotifyEventList {
public:
    using THandler = std::function<void(Arguments...)>;

    // Returns the key that removes the listener again.
    int Add(THandler handler) {
        m_handlers.emplace_back(++m_lastKey, std::move(handler));
        return m_lastKey;
    }

    void Remove(int key) {
        std::erase_if(m_handlers, [key](const auto& entry) { return entry.first == key; });
    }

    int Count() const { return static_cast<int>(m_handlers.size()); }

    void CallInOrder(Arguments... arguments) const {
        const auto handlers = m_handlers;
        for (const auto& entry : handlers)
            entry.second(arguments...);
    }

    void CallLastFirst(Arguments... arguments) const {
        const auto handlers = m_handlers;
        for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
            it->second(arguments...);
    }

private:
    std::vector<std::pair<int, THandler>> m_handlers;
    int m_lastKey = 0;
};
