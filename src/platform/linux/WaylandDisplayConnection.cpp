#include "platform/linux/WaylandDisplayConnection.h"

#include <wayland-client.h>

namespace korvalen {

WaylandDisplayConnection::WaylandDisplayConnection(QString displayName)
    : m_displayName(std::move(displayName))
{
    m_reconnect.setInterval(reconnectInterval);
    QObject::connect(&m_reconnect, &QTimer::timeout, [this] { connectToDisplay(); });
    connectToDisplay();
}

WaylandDisplayConnection::~WaylandDisplayConnection()
{
    m_notifier.reset();
    if (m_display)
        wl_display_disconnect(m_display);
}

QString WaylandDisplayConnection::sessionDisplayName()
{
    return qEnvironmentVariable("WAYLAND_DISPLAY");
}

void WaylandDisplayConnection::flush()
{
    // A full socket buffer leaves the rest for the flush after the next events; the few requests
    // made here never fill it.
    if (m_display)
        wl_display_flush(m_display);
}

void WaylandDisplayConnection::connectToDisplay()
{
    if (m_display || m_displayName.isEmpty())
        return;
    m_display = wl_display_connect(m_displayName.toLocal8Bit().constData());
    if (!m_display) {
        m_reconnect.start();
        return;
    }
    m_reconnect.stop();
    m_notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readEvents(); });
    m_connectionChanges.emit();
    flush();
}

void WaylandDisplayConnection::readEvents()
{
    // Events already queued must be dispatched before the queue may be read into again.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0)
            return lose();
    }
    wl_display_flush(m_display);
    if (wl_display_read_events(m_display) < 0 || wl_display_dispatch_pending(m_display) < 0 ||
        wl_display_get_error(m_display) != 0)
        return lose();
    wl_display_flush(m_display);
}

void WaylandDisplayConnection::lose()
{
    m_notifier.reset();
    m_connectionChanges.emit();
    wl_display_disconnect(m_display);
    m_display = nullptr;
    m_reconnect.start();
}

} // namespace korvalen
