#pragma once

#include "support/Signal.h"

namespace korvalen {

// A value that announces every assignment. A subscriber is handed the current value at once and
// then every newly assigned value, also when it equals the previous one.
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

    // Stores the value first, so handlers that read the owner see the new state.
    void set(T value)
    {
        m_value = std::move(value);
        const T delivered = m_value; // handlers may assign again while we deliver
        m_changes.emit(delivered);
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
};

} // namespace korvalen
