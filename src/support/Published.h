#pragma once

#include "support/Signal.h"

#include <deque>

namespace korvalen {

// A value that announces every assignment. A subscriber is handed the current value at once and
// then every newly assigned value, also when it equals the previous one, in the order the values
// were assigned, so the last value a subscriber hears is the one held.
template <typename T>
class Published {
public:
    using Handler = typename Signal<T>::Handler;

    explicit Published(T initial)
        : m_value(std::move(initial))
    {
    }
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& value() const { return m_value; }

    // Stores the value first, so handlers that read the owner see the newest state. A handler that
    // assigns again has its value stored at once but announced only after the value being
    // delivered has reached every subscriber; otherwise subscribers after it would hear the two
    // values the wrong way round and be left with the older one.
    void set(T value)
    {
        m_value = std::move(value);
        m_undelivered.push_back(m_value);
        if (m_delivering)
            return;
        m_delivering = true;
        while (!m_undelivered.empty()) {
            const T next = std::move(m_undelivered.front());
            m_undelivered.pop_front();
            m_changes.emit(next);
        }
        m_delivering = false;
    }

    // Delivers the current value to the handler before returning, then every later assignment.
    [[nodiscard]] Subscription subscribe(Handler handler) const
    {
        Subscription subscription = m_changes.connect(handler);
        const T current = m_value;
        handler(current);
        return subscription;
    }

    // Delivers only later assignments.
    [[nodiscard]] Subscription subscribeToChanges(Handler handler) const
    {
        return m_changes.connect(std::move(handler));
    }

private:
    T m_value;
    Signal<T> m_changes;
    std::deque<T> m_undelivered;
    bool m_delivering = false;
};

} // namespace korvalen
