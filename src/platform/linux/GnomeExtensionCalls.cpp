#include "platform/linux/GnomeExtensionCalls.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusVariant>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString shellService = u"org.gnome.Shell"_s;
const QString shellPath = u"/org/gnome/Shell"_s;
const QString extensionsInterface = u"org.gnome.Shell.Extensions"_s;

} // namespace

GnomeExtensionCalls::GnomeExtensionCalls(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

bool GnomeExtensionCalls::isShellRunning() const
{
    const QDBusConnectionInterface* daemon = m_bus.isConnected() ? m_bus.interface() : nullptr;
    return daemon && daemon->isServiceRegistered(shellService).value();
}

std::optional<QList<QVariant>> GnomeExtensionCalls::call(const QString& interface,
                                                         const QString& method,
                                                         const QList<QVariant>& arguments)
{
    if (m_ranOut || !isShellRunning())
        return std::nullopt;
    QDBusMessage request =
        QDBusMessage::createMethodCall(shellService, shellPath, interface, method);
    request.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(request, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply.arguments();
    const QDBusError::ErrorType error = QDBusError(reply).type();
    m_ranOut = error == QDBusError::NoReply || error == QDBusError::Timeout ||
               error == QDBusError::TimedOut;
    return std::nullopt;
}

QString GnomeExtensionCalls::shellVersion()
{
    const auto reply = call(u"org.freedesktop.DBus.Properties"_s, u"Get"_s,
                            {u"org.gnome.Shell"_s, u"ShellVersion"_s});
    if (!reply || reply->size() != 1)
        return {};
    return reply->first().value<QDBusVariant>().variant().toString();
}

std::optional<bool> GnomeExtensionCalls::answer(const QString& method, const QString& uuid)
{
    const auto reply = call(extensionsInterface, method, {uuid});
    if (!reply || reply->size() != 1 || reply->first().metaType() != QMetaType::fromType<bool>())
        return std::nullopt;
    return reply->first().toBool();
}

std::optional<bool> GnomeExtensionCalls::enable(const QString& uuid)
{
    return answer(u"EnableExtension"_s, uuid);
}

std::optional<bool> GnomeExtensionCalls::disable(const QString& uuid)
{
    return answer(u"DisableExtension"_s, uuid);
}

// The Shell describes an extension it does not know with a dictionary without a state.
std::optional<GnomeExtensionCalls::ExtensionInfo> GnomeExtensionCalls::info(const QString& uuid)
{
    const auto reply = call(extensionsInterface, u"GetExtensionInfo"_s, {uuid});
    if (!reply || reply->size() != 1 || !reply->first().canConvert<QDBusArgument>())
        return std::nullopt;
    QVariantMap fields;
    reply->first().value<QDBusArgument>() >> fields;
    ExtensionInfo info;
    bool isNumber = false;
    const double state = fields.value(u"state"_s).toDouble(&isNumber);
    if (isNumber)
        info.state = int(state);
    info.error = fields.value(u"error"_s).toString();
    return info;
}

} // namespace korvalen
