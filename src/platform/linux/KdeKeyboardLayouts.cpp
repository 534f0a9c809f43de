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

class KdeKeyboardLayouts::LayoutSource final : public TextInputSources::Source {
public:
    LayoutSource(int index, Layout layout, QString identifier)
        : m_index(index)
        , m_layout(std::move(layout))
        , m_identifier(std::move(identifier))
    {
    }

    int index() const { return m_index; }
    const Layout& layout() const { return m_layout; }
    const QString& identifier() const { return m_identifier; }

private:
    int m_index;
    Layout m_layout;
    QString m_identifier;
};

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
    // (short name, the user's label for it, description)
    const QDBusArgument list = reply->first().value<QDBusArgument>();
    QList<Layout> found;
    list.beginArray();
    while (!list.atEnd()) {
        QString shortName, label, longName;
        list.beginStructure();
        list >> shortName >> label >> longName;
        list.endStructure();
        found.append({shortName, longName});
    }
    list.endArray();
    return found;
}

TextInputSources::Handle KdeKeyboardLayouts::sourceAt(const QList<Layout>& layouts, int index) const
{
    if (index < 0 || index >= layouts.size())
        return nullptr;
    const Layout& layout = layouts.at(index);
    QString identifier = m_registry.identifierForDescription(layout.longName);
    // KWin tells no variant: a layout the registry does not describe keeps its plain name.
    if (identifier.isEmpty() && !layout.shortName.isEmpty())
        identifier = QStringLiteral("xkb:") + layout.shortName;
    return std::make_shared<LayoutSource>(index, layout, identifier);
}

QList<TextInputSources::Handle> KdeKeyboardLayouts::enabledSources()
{
    QList<Handle> sources;
    if (const auto found = layouts()) {
        for (int index = 0; index < found->size(); ++index)
            sources.append(sourceAt(*found, index));
    }
    return sources;
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
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout)
        return noSuchLayout;
    // Positions are all a switch names: after a change of the list the same one may hold another
    // layout.
    const auto found = layouts();
    if (!found || found->value(layout->index()) != layout->layout())
        return noSuchLayout;
    const auto reply =
        call(QStringLiteral("setLayout"), {QVariant::fromValue(uint(layout->index()))});
    return reply && !reply->isEmpty() && reply->first().toBool() ? selectAccepted : notSent;
}

const KdeKeyboardLayouts::LayoutSource* KdeKeyboardLayouts::layoutSourceOf(const Handle& source)
{
    return dynamic_cast<const LayoutSource*>(source.get());
}

std::optional<bool> KdeKeyboardLayouts::isSelectCapable(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> KdeKeyboardLayouts::category(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> KdeKeyboardLayouts::identifier(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout || layout->identifier().isEmpty())
        return std::nullopt;
    return layout->identifier();
}

std::optional<QString> KdeKeyboardLayouts::localizedName(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout)
        return std::nullopt;
    return layout->layout().longName;
}

std::optional<QString> KdeKeyboardLayouts::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // layouts are not provided by input methods
}

std::optional<QUrl> KdeKeyboardLayouts::iconURL(const Handle&) const
{
    return std::nullopt; // KWin has no icons for layouts
}

} // namespace korvalen
