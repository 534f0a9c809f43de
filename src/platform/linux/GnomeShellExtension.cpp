#include "platform/linux/GnomeShellExtension.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// The Shell answers from its main loop, between frames; a reply to the first call after the
// extension appears may take a moment longer.
constexpr int backgroundCallTimeoutMs = 2000;
constexpr int windowFieldCount = 5;

// A structure of the reply, read field by field; none when it is no structure of `count` fields.
std::optional<QList<QVariant>> structureFields(const QDBusArgument& argument, int count)
{
    if (argument.currentType() != QDBusArgument::StructureType)
        return std::nullopt;
    QList<QVariant> fields;
    argument.beginStructure();
    while (!argument.atEnd())
        fields.append(argument.asVariant());
    argument.endStructure();
    if (fields.size() != count)
        return std::nullopt;
    return fields;
}

// The elements of an array of structures; none when the argument is no such array.
std::optional<QList<QList<QVariant>>> structureArray(const QVariant& value, int count)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const auto argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::ArrayType)
        return std::nullopt;
    QList<QList<QVariant>> elements;
    argument.beginArray();
    while (!argument.atEnd()) {
        auto fields = structureFields(argument, count);
        if (!fields) {
            argument.endArray();
            return std::nullopt;
        }
        elements.append(std::move(*fields));
    }
    argument.endArray();
    return elements;
}

bool isText(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<QString>();
}

} // namespace

GnomeShellExtension::GnomeShellExtension(QDBusConnection bus)
    : m_bus(std::move(bus))
    , m_watcher(serviceName, m_bus,
                QDBusServiceWatcher::WatchForRegistration |
                    QDBusServiceWatcher::WatchForUnregistration)
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { setRunning(true); });
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { setRunning(false); });
    // Signals only from the name's owner: another program cannot pose as the Shell.
    m_bus.connect(serviceName, objectPath, interfaceName, u"FocusChanged"_s, this,
                  SLOT(focusChanged(QDBusMessage)));
    m_bus.connect(serviceName, objectPath, interfaceName, u"SourceChanged"_s, this,
                  SLOT(sourceChanged()));
    // The bus daemon itself always answers, and at once.
    if (QDBusConnectionInterface* daemon = m_bus.interface())
        m_running = daemon->isServiceRegistered(serviceName).value();
}

void GnomeShellExtension::setRunning(bool running)
{
    if (running == m_running)
        return;
    m_running = running;
    m_runningChanged.emit();
}

QDBusMessage GnomeShellExtension::methodCall(const QString& method) const
{
    return QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method);
}

std::optional<GnomeShellExtension::Window>
GnomeShellExtension::windowFrom(const QList<QVariant>& fields)
{
    if (fields.size() != windowFieldCount || !isText(fields[0]) || !isText(fields[1]) ||
        !isText(fields[2]) || fields[3].metaType() != QMetaType::fromType<quint32>() ||
        !isText(fields[4]))
        return std::nullopt;
    return Window{fields[0].toString(), fields[1].toString(), fields[2].toString(),
                  fields[3].toUInt(), fields[4].toString()};
}

std::optional<GnomeShellExtension::InputSources>
GnomeShellExtension::inputSourcesFrom(const QList<QVariant>& arguments)
{
    if (arguments.size() != 2 || arguments[1].metaType() != QMetaType::fromType<int>())
        return std::nullopt;
    const auto listed = structureArray(arguments[0], 2);
    if (!listed)
        return std::nullopt;
    InputSources sources;
    for (const QList<QVariant>& fields : *listed) {
        if (!isText(fields[0]) || !isText(fields[1]))
            return std::nullopt;
        sources.sources.append({fields[0].toString(), fields[1].toString()});
    }
    const int current = arguments[1].toInt();
    sources.current = current >= 0 && current < sources.sources.size() ? current : -1;
    return sources;
}

void GnomeShellExtension::askForFocusedWindow(std::function<void(std::optional<Window>)> done)
{
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(methodCall(u"FocusedWindow"_s), backgroundCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [watcher, done = std::move(done)] {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                done(reply.type() == QDBusMessage::ReplyMessage ? windowFrom(reply.arguments())
                                                                 : std::nullopt);
            });
}

std::optional<QList<GnomeShellExtension::Window>> GnomeShellExtension::windows()
{
    const auto reply = m_calls.call(m_bus, methodCall(u"Windows"_s));
    if (!reply || reply->size() != 1)
        return std::nullopt;
    const auto listed = structureArray(reply->first(), windowFieldCount);
    if (!listed)
        return std::nullopt;
    QList<Window> windows;
    for (const QList<QVariant>& fields : *listed) {
        auto window = windowFrom(fields);
        if (!window)
            return std::nullopt;
        windows.append(std::move(*window));
    }
    return windows;
}

std::optional<GnomeShellExtension::InputSources> GnomeShellExtension::inputSources()
{
    const auto reply = m_calls.call(m_bus, methodCall(u"InputSources"_s));
    return reply ? inputSourcesFrom(*reply) : std::nullopt;
}

bool GnomeShellExtension::activateSource(int index)
{
    if (index < 0)
        return false;
    return m_calls.call(m_bus, methodCall(u"ActivateSource"_s) << quint32(index)).has_value();
}

void GnomeShellExtension::focusChanged(const QDBusMessage& message)
{
    if (const auto window = windowFrom(message.arguments()))
        m_focusChanged.emit(*window);
}

void GnomeShellExtension::sourceChanged()
{
    m_sourceChanged.emit();
}

} // namespace korvalen
