#include "platform/linux/KdeKeyboardLayouts.h"

#include <QDBusArgument>
#include <QSettings>
#include <QStandardPaths>

namespace korvalen {

namespace {

const QString keyboardService = QStringLiteral("org.kde.keyboard");
const QString layoutsPath = QStringLiteral("/Layouts");
const QString layoutsInterface = QStringLiteral("org.kde.KeyboardLayouts");

} // namespace

KdeKeyboardLayouts::KdeKeyboardLayouts(QDBusConnection bus, QString kxkbrcPath,
                                       XkbLayoutRegistry registry)
    : m_bus(std::move(bus))
    , m_kxkbrcPath(std::move(kxkbrcPath))
    , m_registry(std::move(registry))
    , m_serviceWatcher(keyboardService, m_bus,
                       QDBusServiceWatcher::WatchForRegistration |
                           QDBusServiceWatcher::WatchForUnregistration)
{
    m_announcement.setSingleShot(true);
    m_announcement.setInterval(0);
    QObject::connect(&m_announcement, &QTimer::timeout, &m_announcement,
                     [this] { announceSelectedKeyboardSourceChanged(); });
    QObject::connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, &m_announcement,
                     [this] { m_announcement.start(); });
    QObject::connect(&m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, &m_announcement,
                     [this] { m_announcement.start(); });
    // The timer's start() takes none of the signals' arguments, which D-Bus connections allow.
    for (const char* signal : {"layoutChanged", "layoutListChanged"}) {
        m_bus.connect(keyboardService, layoutsPath, layoutsInterface, QLatin1String(signal),
                      &m_announcement, SLOT(start()));
    }
    // KWin answers late while it maps a new window, which is when activations come: a pass that
    // found no layout then has to be run again once KWin is asked again, or the layout of the
    // window activated stays unset until the next change.
    m_unansweredAnnouncement.setSingleShot(true);
    // Precise and a little late: a coarse timer may fire while calls are still being skipped.
    m_unansweredAnnouncement.setTimerType(Qt::PreciseTimer);
    m_unansweredAnnouncement.setInterval(BoundedDBusCalls::quietPeriodMs + 100);
    QObject::connect(&m_unansweredAnnouncement, &QTimer::timeout, &m_announcement,
                     [this] { m_announcement.start(); });
}

QString KdeKeyboardLayouts::userKxkbrcPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/kxkbrc");
}

KdeKeyboardLayouts::LayoutMemory KdeKeyboardLayouts::kwinLayoutMemory() const
{
    const QSettings settings(m_kxkbrcPath, QSettings::IniFormat);
    const QString mode = settings.value(QStringLiteral("Layout/SwitchMode")).toString();
    if (mode == QLatin1String("Desktop"))
        return LayoutMemory::desktop;
    if (mode == QLatin1String("WinClass"))
        return LayoutMemory::application;
    if (mode == QLatin1String("Window"))
        return LayoutMemory::window;
    return LayoutMemory::none;
}

std::optional<QList<QVariant>> KdeKeyboardLayouts::call(const QString& method,
                                                        const QList<QVariant>& arguments)
{
    QDBusMessage request =
        QDBusMessage::createMethodCall(keyboardService, layoutsPath, layoutsInterface, method);
    request.setArguments(arguments);
    const bool wasQuiet = m_calls.isQuiet();
    auto reply = m_calls.call(m_bus, request);
    if (!wasQuiet && m_calls.isQuiet())
        m_unansweredAnnouncement.start();
    return reply;
}

std::optional<QList<KdeKeyboardLayouts::Layout>> KdeKeyboardLayouts::layouts()
{
    const auto reply = call(QStringLiteral("getLayoutsList"));
    if (!reply || reply->isEmpty() || !reply->first().canConvert<QDBusArgument>())
        return std::nullopt;
    // (short name, the user's label for it, description): "de", "", "German (no dead keys)"
    const QDBusArgument list = reply->first().value<QDBusArgument>();
    QList<Layout> found;
    list.beginArray();
    while (!list.atEnd()) {
        QString shortName, label, longName;
        list.beginStructure();
        list >> shortName >> label >> longName;
        list.endStructure();
        QString identifier = m_registry.identifierForDescription(longName);
        // KWin tells no variant: a layout the registry does not describe keeps its plain name.
        if (identifier.isEmpty() && !shortName.isEmpty())
            identifier = QStringLiteral("xkb:") + shortName;
        found.append({identifier, longName});
    }
    list.endArray();
    return found;
}

QList<TextInputSources::Handle> KdeKeyboardLayouts::enabledSources()
{
    const auto found = layouts();
    return found ? sourcesOf(*found) : QList<Handle>();
}

TextInputSources::Handle KdeKeyboardLayouts::currentKeyboardSource()
{
    const auto found = layouts();
    if (!found)
        return nullptr;
    const auto current = call(QStringLiteral("getLayout"));
    if (!current || current->isEmpty())
        return nullptr;
    return sourceAt(*found, static_cast<int>(current->first().toUInt()));
}

int KdeKeyboardLayouts::select(const Handle& source)
{
    if (!layoutSourceOf(source))
        return noSuchLayout;
    const auto found = layouts();
    const LayoutSource* layout = found ? stillListed(source, *found) : nullptr;
    if (!layout)
        return noSuchLayout;
    const auto reply =
        call(QStringLiteral("setLayout"), {QVariant::fromValue(uint(layout->position()))});
    return reply && !reply->isEmpty() && reply->first().toBool() ? selectAccepted : notSent;
}

} // namespace korvalen
