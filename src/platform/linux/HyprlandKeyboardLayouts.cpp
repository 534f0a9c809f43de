#include "platform/linux/HyprlandKeyboardLayouts.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

HyprlandKeyboardLayouts::HyprlandKeyboardLayouts(const QString& instanceFolder,
                                                 XkbLayoutRegistry registry)
    : m_requestPath(instanceFolder.isEmpty() ? QString() : instanceFolder + u"/.socket.sock"_s)
    , m_eventPath(instanceFolder.isEmpty() ? QString() : instanceFolder + u"/.socket2.sock"_s)
    , m_registry(std::move(registry))
{
    m_announcement.setSingleShot(true);
    m_announcement.setInterval(0);
    QObject::connect(&m_announcement, &QTimer::timeout, &m_announcement,
                     [this] { announceSelectedKeyboardSourceChanged(); });
    m_reconnect.setInterval(reconnectInterval);
    QObject::connect(&m_reconnect, &QTimer::timeout, &m_reconnect, [this] { connectEvents(); });
    QObject::connect(&m_events, &QLocalSocket::connected, &m_events, [this] {
        m_reconnect.stop();
        // Whatever changed while no events came is read afresh.
        m_announcement.start();
    });
    QObject::connect(&m_events, &QLocalSocket::disconnected, &m_events, [this] {
        m_reconnect.start();
        m_announcement.start();
    });
    QObject::connect(&m_events, &QLocalSocket::errorOccurred, &m_events, [this] {
        if (m_events.state() == QLocalSocket::UnconnectedState && !m_reconnect.isActive())
            m_reconnect.start();
    });
    QObject::connect(&m_events, &QLocalSocket::readyRead, &m_events, [this] { readEvents(); });
    connectEvents();
}

HyprlandKeyboardLayouts::~HyprlandKeyboardLayouts()
{
    // A socket closed by its destructor still reports the loss, to timers already gone.
    QObject::disconnect(&m_events, nullptr, nullptr, nullptr);
}

QString HyprlandKeyboardLayouts::sessionInstanceFolder()
{
    const QString signature = qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE");
    if (signature.isEmpty())
        return {};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString current = runtime + u"/hypr/"_s + signature;
    if (!runtime.isEmpty() && QFileInfo::exists(current))
        return current;
    const QString older = u"/tmp/hypr/"_s + signature;
    return QFileInfo::exists(older) ? older : current;
}

void HyprlandKeyboardLayouts::connectEvents()
{
    if (m_eventPath.isEmpty() || m_events.state() != QLocalSocket::UnconnectedState)
        return;
    m_eventBuffer.clear();
    m_events.connectToServer(m_eventPath);
}

void HyprlandKeyboardLayouts::readEvents()
{
    m_eventBuffer.append(m_events.readAll());
    qsizetype end;
    while ((end = m_eventBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_eventBuffer.left(end);
        m_eventBuffer.remove(0, end + 1);
        // The layout's name may hold commas, and the one keyboard named is not all that switched:
        // the event only says that the layouts are to be read again.
        if (line.startsWith("activelayout>>") || line.startsWith("configreloaded>>"))
            m_announcement.start();
    }
    // No event line is this long; a stream without line breaks is not Hyprland's.
    if (m_eventBuffer.size() > 64 * 1024)
        m_events.abort();
}

std::optional<QByteArray> HyprlandKeyboardLayouts::request(const QByteArray& command) const
{
    if (m_requestPath.isEmpty())
        return std::nullopt;
    const QDeadlineTimer deadline(requestTimeout);
    // Hyprland serves one request per connection and stalls on a connection left open, so every
    // request gets a connection of its own, closed by the compositor once it has answered.
    QLocalSocket socket;
    socket.connectToServer(m_requestPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return std::nullopt;
    socket.write(command);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return std::nullopt;
    QByteArray reply;
    while (socket.state() == QLocalSocket::ConnectedState) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        reply.append(socket.readAll());
    }
    reply.append(socket.readAll());
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.abort();
        return std::nullopt;
    }
    return reply;
}

std::optional<HyprlandKeyboardLayouts::Keyboard> HyprlandKeyboardLayouts::keyboard()
{
    const auto reply = request("j/devices");
    if (!reply)
        return std::nullopt;
    const QJsonArray keyboards =
        QJsonDocument::fromJson(*reply).object().value(u"keyboards"_s).toArray();
    // The main keyboard is the one the compositor's own layout switch and reports follow; before
    // keyboards had one, the first stood for all.
    QJsonObject chosen;
    for (const QJsonValue& value : keyboards) {
        const QJsonObject device = value.toObject();
        if (device.value(u"layout"_s).toString().isEmpty())
            continue;
        if (chosen.isEmpty() || device.value(u"main"_s).toBool()) {
            chosen = device;
            if (device.value(u"main"_s).toBool())
                break;
        }
    }
    if (chosen.isEmpty())
        return std::nullopt;
    const QStringList layouts = chosen.value(u"layout"_s).toString().split(u',');
    const QStringList variants = chosen.value(u"variant"_s).toString().split(u',');
    const QString activeKeymap = chosen.value(u"active_keymap"_s).toString();
    Keyboard keyboard;
    QStringList identifiers;
    QStringList names;
    for (qsizetype index = 0; index < layouts.size(); ++index) {
        const QString layout = layouts.at(index).trimmed();
        const QString variant = variants.value(index).trimmed();
        const QString identifier =
            variant.isEmpty() ? u"xkb:"_s + layout : u"xkb:%1(%2)"_s.arg(layout, variant);
        QString name = m_registry.descriptionForIdentifier(identifier);
        if (name.isEmpty())
            name = identifier.mid(4);
        identifiers.append(identifier);
        names.append(name);
        keyboard.layouts.append({identifier, name});
    }
    // Newer versions tell the index; older ones only the active layout's name.
    keyboard.activeIndex = chosen.value(u"active_layout_index"_s).toInt(-1);
    if (keyboard.activeIndex < 0 || keyboard.activeIndex >= names.size())
        keyboard.activeIndex = int(names.indexOf(activeKeymap));
    if (keyboard.activeIndex < 0)
        keyboard.activeIndex =
            int(identifiers.indexOf(m_registry.identifierForDescription(activeKeymap)));
    return keyboard;
}

bool HyprlandKeyboardLayouts::switchTo(int position)
{
    const auto reply = request("switchxkblayout all " + QByteArray::number(position));
    return reply && reply->trimmed() == "ok";
}

} // namespace korvalen
