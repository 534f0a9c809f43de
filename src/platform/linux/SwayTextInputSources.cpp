#include "platform/linux/SwayTextInputSources.h"

#include <QJsonArray>

namespace korvalen {

SwayTextInputSources::SwayTextInputSources(const QString& socketPath, XkbLayoutRegistry registry)
    : m_connection(socketPath, {QStringLiteral("input")})
    , m_registry(std::move(registry))
{
    m_announcement.setSingleShot(true);
    m_announcement.setInterval(0);
    QObject::connect(&m_announcement, &QTimer::timeout, &m_announcement,
                     [this] { announceSelectedKeyboardSourceChanged(); });
    m_events = m_connection.subscribeToEvents([this](quint32 type, const QJsonObject& event) {
        const QString change = event.value(QLatin1String("change")).toString();
        if (type == SwayIpcConnection::inputEvent &&
            (change == QLatin1String("xkb_layout") || change == QLatin1String("xkb_keymap")))
            m_announcement.start();
    });
    m_connectionChanges =
        m_connection.subscribeToConnectionChanges([this] { m_announcement.start(); });
}

std::optional<SwayTextInputSources::Keyboard> SwayTextInputSources::keyboard()
{
    const auto inputs = m_connection.request(SwayIpcConnection::MessageType::getInputs);
    if (!inputs)
        return std::nullopt;
    const QJsonArray devices = inputs->array();
    for (const QJsonValue& value : devices) {
        const QJsonObject device = value.toObject();
        const QJsonArray names = device.value(QLatin1String("xkb_layout_names")).toArray();
        if (device.value(QLatin1String("type")).toString() != QLatin1String("keyboard") ||
            names.isEmpty())
            continue;
        Keyboard keyboard;
        for (const QJsonValue& value : names) {
            const QString name = value.toString();
            keyboard.layouts.append({m_registry.identifierForDescription(name), name});
        }
        keyboard.activeIndex = device.value(QLatin1String("xkb_active_layout_index")).toInt(-1);
        return keyboard;
    }
    return std::nullopt;
}

bool SwayTextInputSources::switchTo(int position)
{
    const auto reply = m_connection.request(SwayIpcConnection::MessageType::runCommand,
                                            "input type:keyboard xkb_switch_layout " +
                                                QByteArray::number(position));
    const QJsonArray results = reply ? reply->array() : QJsonArray();
    return !results.isEmpty() &&
           std::all_of(results.begin(), results.end(), [](const QJsonValue& r) {
               return r.toObject().value(QLatin1String("success")).toBool();
           });
}

} // namespace korvalen
