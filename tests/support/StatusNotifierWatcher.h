#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>

namespace korvalen::testing {

// The part of a desktop panel that tray icons talk to first: org.kde.StatusNotifierWatcher at
// /StatusNotifierWatcher, claiming that a host (a panel) is there to show items. Qt exports a
// tray icon as a StatusNotifierItem only when such a watcher runs on the session bus, and then
// registers the item with it. The members keep their D-Bus names, since they are exported as is.
class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt reads this property through the introspected interface, so it must be exported.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredStatusNotifierItems)

public:
    static inline const QString serviceName = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString objectPath = QStringLiteral("/StatusNotifierWatcher");

    explicit StatusNotifierWatcher(QDBusConnection connection = QDBusConnection::sessionBus());
    ~StatusNotifierWatcher() override;
    StatusNotifierWatcher(const StatusNotifierWatcher&) = delete;
    StatusNotifierWatcher& operator=(const StatusNotifierWatcher&) = delete;

    // False when the bus name or the object could not be claimed (say another watcher runs).
    bool isRegistered() const { return m_isRegistered; }
    // The bus name of every item registered so far, in order. An item that registers by its
    // object path is recorded under the bus name of its sender.
    const QStringList& registeredStatusNotifierItems() const { return m_items; }

    bool isStatusNotifierHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QDBusConnection m_connection;
    bool m_isRegistered = false;
    QStringList m_items;
};

} // namespace korvalen::testing
