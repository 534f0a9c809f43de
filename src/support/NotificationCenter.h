#pragma once

#include "support/Subscription.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace korvalen {

// In-process notifications by name, without payload: observers read whatever changed from its
// owner. Posting runs the observers synchronously, in the order they were added.
class NotificationCenter {
public:
    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    [[nodiscard]] Subscription addObserver(const QString& name, std::function<void()> observer);
    void post(const QString& name);

private:
    struct Channels;
    std::unique_ptr<Channels> m_channels;
};

} // namespace korvalen
