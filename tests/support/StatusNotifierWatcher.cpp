#include "support/StatusNotifierWatcher.h"

namespace korvalen::testing {

StatusNotifierWatcher::StatusNotifierWatcher(QDBusConnection connection)
    : m_connection(std::move(connection))
{
    m_isRegistered = m_connection.registerObject(objectPath, this,
                                                 QDBusConnection::ExportAllSlots |
                                                     QDBusConnection::ExportAllSignals |
                                                     QDBusConnection::ExportAllProperties) &&
                     m_connection.registerService(serviceName);
}

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    if (m_isRegistered)
        m_connection.unregisterService(serviceName);
    m_connection.unregisterObject(objectPath);
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString& serviceOrPath,
                                                       const QDBusMessage& message)
{
    const QString service = serviceOrPath.startsWith(u'/') ? message.service() : serviceOrPath;
    m_items.append(service);
    Q_EMIT StatusNotifierItemRegistered(service);
}

void StatusNotifierWatcher::RegisterStatusNotifierHost(const QString&)
{
    Q_EMIT StatusNotifierHostRegistered();
}

} // namespace korvalen::testing
