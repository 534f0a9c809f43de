#include "platform/linux/GnomeShellExtension.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// The Shell answers from its main loop, between frames, and may be busy for a while opening
// windows; nothing waits for the answer meanwhile.
constexpr int callTimeoutMs = 5000;
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
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { setRunning(true); });
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { setRunning(false); });
    // Signals only from the name's owner: another program cannot pose as the Shell.
    m_bus.connect(serviceName, objectPath, interfaceName, u"FocusChanged"_s, this,
                  SLOT(focusChanged(QDBusMessage)));
    m_bus.connect(serviceName, objectPath, interfaceName, u"SourceChanged"_s, this,
                  SLOT(sourceChanged()));
    // The bus daemon itself always answers, and at once.
    if (QDBusConnectionInterface* daemon = m_bus.interface())
        setRunning(daemon->isServiceRegistered(serviceName).value());
}

void GnomeShellExtension::setRunning(bool running)
{
    if (running == m_running)
        return;
    m_running = running;
    ++m_generation;
    m_focusedWindow.reset();
    m_windows.clear();
    m_inputSources.reset();
    m_inputSourcesAsked = false;
    m_inputSourcesStale = false;
    if (running) {
        askForFocusedWindow();
        askForWindows();
        askForInputSources();
    }
    m_runningChanged.emit();
}

QDBusMessage GnomeShellExtension::methodCall(const QString& method) const
{
    return QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method);
}

void GnomeShellExtension::call(const QDBusMessage& request,
                               std::function<void(const QList<QVariant>&)> replied)
{
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(request, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, generation = m_generation, replied = std::move(replied)] {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                if (generation == m_generation && reply.type() == QDBusMessage::ReplyMessage)
                    replied(reply.arguments());
            });
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

void GnomeShellExtension::askForFocusedWindow()
{
    call(methodCall(u"FocusedWindow"_s), [this](const QList<QVariant>& arguments) {
        // A change of focus announced while the question was out is newer than this answer.
        if (m_focusedWindow)
            return;
        if (const auto window = windowFrom(arguments)) {
            m_focusedWindow = window;
            m_focusChanged.emit(*window);
        }
    });
}

void GnomeShellExtension::askForWindows()
{
    call(methodCall(u"Windows"_s), [this](const QList<QVariant>& arguments) {
        const auto listed = structureArray(arguments.value(0), windowFieldCount);
        if (!listed)
            return;
        QList<Window> windows;
        for (const QList<QVariant>& fields : *listed) {
            if (auto window = windowFrom(fields))
                windows.append(std::move(*window));
        }
        m_windows = std::move(windows);
    });
}

void GnomeShellExtension::askForInputSources()
{
    if (m_inputSourcesAsked) {
        m_inputSourcesStale = true;
        return;
    }
    m_inputSourcesAsked = true;
    call(methodCall(u"InputSources"_s), [this](const QList<QVariant>& arguments) {
        m_inputSourcesAsked = false;
        if (std::exchange(m_inputSourcesStale, false)) {
            askForInputSources();
            return;
        }
        if (auto sources = inputSourcesFrom(arguments)) {
            m_inputSources = std::move(sources);
            m_sourceChanged.emit();
        }
    });
}

bool GnomeShellExtension::activateSource(int index)
{
    if (!m_running || index < 0)
        return false;
    // The Shell announces the switch, and a refusal leaves nothing to do.
    call(methodCall(u"ActivateSource"_s) << quint32(index), [](const QList<QVariant>&) {});
    return true;
}

void GnomeShellExtension::focusChanged(const QDBusMessage& message)
{
    const auto window = windowFrom(message.arguments());
    if (!window)
        return;
    m_focusedWindow = window;
    // Windows come and go with changes of focus: opened windows take it, closed ones pass it on.
    askForWindows();
    m_focusChanged.emit(*window);
}

void GnomeShellExtension::sourceChanged()
{
    askForInputSources();
}

} // namespace korvalen
