#include "platform/linux/BoundedDBusCalls.h"

#include <QDBusError>

namespace korvalen {

std::optional<QList<QVariant>> BoundedDBusCalls::call(const QDBusConnection& bus,
                                                      const QDBusMessage& request)
{
    if (isQuiet() || !bus.isConnected())
        return std::nullopt;
    const QDBusMessage reply = bus.call(request, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();
    const QDBusError::ErrorType error = QDBusError(reply).type();
    if (error == QDBusError::NoReply || error == QDBusError::Timeout ||
        error == QDBusError::TimedOut)
        m_quietUntil.setRemainingTime(quietPeriodMs);
    return std::nullopt;
}

bool BoundedDBusCalls::isQuiet() const
{
    return !m_quietUntil.hasExpired();
}

} // namespace korvalen
