#pragma once

#include "support/Subscription.h"

#include <memory>
#include <vector>

namespace korvalen {

// A synchronous, single-threaded signal whose connections are Subscription tokens.
//
// Handlers run in the order they were connected. A handler may connect or cancel other handlers
// (or itself) while the signal is being emitted: a handler cancelled during an emission is not
// called afterwards, and one connected during an emission first hears the next emission.
template <typename... Args>
class Signal {
public:
    using Handler = std::function<void(const Args&...)>;

    [[nodiscard]] Subscription connect(Handler handler) const
    {
        auto slot = std::make_shared<Slot>(Slot{std::move(handler), true});
        m_slots->push_back(slot);
        return Subscription(
            [slots = std::weak_ptr<Slots>(m_slots), weakSlot = std::weak_ptr(slot)] {
                auto slot = weakSlot.lock();
                if (!slot)
                    return;
                slot->connected = false;
                if (auto list = slots.lock())
                    std::erase(*list, slot);
            });
    }

    void emit(const Args&... args) const
    {
        const Slots snapshot = *m_slots;
        for (const auto& slot : snapshot) {
            if (slot->connected)
                slot->handler(args...);
        }
    }

private:
    struct Slot {
        Handler handler;
        bool connected;
    };
    using Slots = std::vector<std::shared_ptr<Slot>>;

    std::shared_ptr<Slots> m_slots = std::make_shared<Slots>();
};

} // namespace korvalen
