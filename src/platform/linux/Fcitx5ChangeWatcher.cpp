#include "platform/linux/Fcitx5ChangeWatcher.h"

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

const QString panelServiceName = u"org.kde.kimpanel.inputmethod"_s;
const QString trayWatcherServiceName = u"org.kde.StatusNotifierWatcher"_s;

} // namespace

Fcitx5ChangeWatcher::Fcitx5ChangeWatcher(Fcitx5Controller& controller)
    : m_controller(controller)
    , m_panelWatcher(panelServiceName, controller.bus(), QDBusServiceWatcher::WatchForOwnerChange)
    , m_trayIconWatcher(QString(), controller.bus(), QDBusServiceWatcher::WatchForUnregistration)
{
    QDBusConnection bus = m_controller.bus();
    m_poll.setInterval(pollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { m_news.emit(); });

    // Any sender: the tray icon's connection has no name to match on.
    bus.connect(QString(), u"/StatusNotifierItem"_s, u"org.kde.StatusNotifierItem"_s, u"NewIcon"_s,
                this, SLOT(onTrayIconChanged(QDBusMessage)));
    bus.connect(trayWatcherServiceName, u"/StatusNotifierWatcher"_s, trayWatcherServiceName,
                u"StatusNotifierItemRegistered"_s, this, SLOT(onTrayIconRegistered(QString)));
    connect(&m_trayIconWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        forgetTrayIconConnection();
        updatePolling();
    });

    bus.connect(Fcitx5Controller::serviceName, u"/kimpanel"_s, panelServiceName,
                u"UpdateProperty"_s, this, SLOT(onPanelPropertyChanged(QDBusMessage)));
    connect(&m_panelWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                m_panelConnection = newOwner;
                updatePolling();
            });
    m_panelConnection = ownerOf(panelServiceName).value_or(QString());

    // A tray icon connection is forgotten when it leaves the bus, as it does with its process.
    m_daemonChanges = m_controller.subscribeToDaemonChanges([this] { updatePolling(); });
}

void Fcitx5ChangeWatcher::setNeeded(bool needed)
{
    m_needed = needed;
    updatePolling();
}

Fcitx5ChangeWatcher::EventSource Fcitx5ChangeWatcher::activeEventSource() const
{
    const QString& daemon = m_controller.daemonConnection();
    if (daemon.isEmpty())
        return EventSource::none;
    if (m_panelConnection == daemon)
        return EventSource::inputMethodPanel;
    if (!m_trayIconConnection.isEmpty())
        return EventSource::statusNotifierItem;
    return EventSource::none;
}

void Fcitx5ChangeWatcher::updatePolling()
{
    const bool poll = m_needed && !m_controller.daemonConnection().isEmpty() &&
                      activeEventSource() == EventSource::none;
    if (poll && !m_poll.isActive())
        m_poll.start();
    else if (!poll)
        m_poll.stop();
}

void Fcitx5ChangeWatcher::onTrayIconChanged(const QDBusMessage& message)
{
    if (message.service() == m_trayIconConnection || adoptTrayIconConnection(message.service()))
        m_news.emit();
}

void Fcitx5ChangeWatcher::onTrayIconRegistered(const QString& item)
{
    // Watchers name an item by its bus name, its bus name and object path, or its sender's name.
    const QString name = item.section(u'/', 0, 0);
    if (name.isEmpty())
        return;
    const QString connection = name.startsWith(u':') ? name : ownerOf(name).value_or(QString());
    adoptTrayIconConnection(connection);
}

void Fcitx5ChangeWatcher::onPanelPropertyChanged(const QDBusMessage&)
{
    m_news.emit();
}

bool Fcitx5ChangeWatcher::adoptTrayIconConnection(const QString& connection)
{
    if (connection.isEmpty() || m_otherTrayIconConnections.contains(connection))
        return false;
    if (connection == m_trayIconConnection)
        return true;
    // The daemon's process, even before it answers: its icon may register first.
    const QString& daemon = m_controller.nameOwner();
    if (daemon.isEmpty())
        return false;
    if (daemon != m_daemonOwner) {
        m_daemonOwner = daemon;
        m_daemonProcess.reset();
        m_otherTrayIconConnections.clear();
    }
    if (!m_daemonProcess)
        m_daemonProcess = processOf(daemon);
    const std::optional<uint> process = processOf(connection);
    if (!m_daemonProcess || !process)
        return false; // asked again at its next news
    if (*process != *m_daemonProcess) {
        m_otherTrayIconConnections.insert(connection);
        return false;
    }
    m_trayIconWatcher.setWatchedServices({connection});
    // Watched before this is asked, so that leaving the bus in between cannot go unheard.
    if (ownerOf(connection).value_or(QString()) != connection) {
        forgetTrayIconConnection();
        return false;
    }
    m_trayIconConnection = connection;
    updatePolling();
    return true;
}

void Fcitx5ChangeWatcher::forgetTrayIconConnection()
{
    m_trayIconConnection.clear();
    m_trayIconWatcher.setWatchedServices({});
}

std::optional<QVariant> Fcitx5ChangeWatcher::askBus(const QString& method, const QString& name)
{
    QDBusMessage request = QDBusMessage::createMethodCall(
        u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s, method);
    request << name;
    const auto reply = m_busCalls.call(m_controller.bus(), request);
    if (!reply || reply->isEmpty())
        return std::nullopt;
    return reply->constFirst();
}

std::optional<QString> Fcitx5ChangeWatcher::ownerOf(const QString& name)
{
    const auto owner = askBus(u"GetNameOwner"_s, name);
    return owner ? std::optional(owner->toString()) : std::nullopt;
}

std::optional<uint> Fcitx5ChangeWatcher::processOf(const QString& connection)
{
    const auto process = askBus(u"GetConnectionUnixProcessID"_s, connection);
    return process ? std::optional(process->toUInt()) : std::nullopt;
}

} // namespace korvalen
