#include "support/NotificationCenter.h"

#include "support/Signal.h"

namespace korvalen {

struct NotificationCenter::Channels {
    QHash<QString, Signal<>> byName;
};

NotificationCenter::NotificationCenter()
    : m_channels(std::make_unique<Channels>())
{
}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

Subscription NotificationCenter::addObserver(const QString& name, std::function<void()> observer)
{
    return m_channels->byName[name].connect(std::move(observer));
}

void NotificationCenter::post(const QString& name)
{
    const auto it = m_channels->byName.constFind(name);
    if (it != m_channels->byName.constEnd())
        it->emit();
}

} // namespace korvalen
