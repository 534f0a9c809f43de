#include "platform/linux/IbusTextInputSources.h"

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

namespace {

const QString ibusService = u"org.freedesktop.IBus"_s;
const QString ibusPath = u"/org/freedesktop/IBus"_s;

QDBusMessage ibusMethodCall(const QString& member)
{
    return QDBusMessage::createMethodCall(ibusService, ibusPath, ibusService, member);
}

// How long the daemon may take to describe all of its engines; nobody waits for it.
constexpr int allEnginesTimeoutMs = 5000;

} // namespace

// One engine as the daemon described it when the source was listed.
class IbusTextInputSources::EngineSource final : public TextInputSources::Source {
public:
    explicit EngineSource(IbusEngineDescription description)
        : m_description(std::move(description))
    {
    }
    const IbusEngineDescription& description() const { return m_description; }

private:
    IbusEngineDescription m_description;
};

IbusTextInputSources::IbusTextInputSources()
{
    m_subscriptions.push_back(
        m_daemon.subscribeToEngineChanges([this] { announceSelectedKeyboardSourceChanged(); }));
    // A daemon that appears, goes or is replaced takes its global engine with it.
    m_subscriptions.push_back(m_daemon.subscribeToRunningChanges([this] {
        announceRunningChanged();
        announceSelectedKeyboardSourceChanged();
    }));
    m_subscriptions.push_back(
        m_engineList.subscribeToChanges([this] { announceSelectedKeyboardSourceChanged(); }));
}

QString IbusTextInputSources::name() const
{
    return u"IBus"_s;
}

bool IbusTextInputSources::isRunning()
{
    return m_daemon.isRunning();
}

QList<TextInputSources::Handle> IbusTextInputSources::enabledSources()
{
    const QStringList names = enabledEngineNames();
    if (names.isEmpty())
        return {};
    const std::optional<QList<QVariant>> reply =
        m_daemon.call(ibusMethodCall(u"GetEnginesByNames"_s) << names);
    if (!reply || reply->isEmpty())
        return {};
    QHash<QString, IbusEngineDescription> described;
    for (IbusEngineDescription& description : IbusEngineDescription::listFromDBus(reply->first()))
        described.insert(description.name, std::move(description));
    // An engine the daemon does not know (removed since, or misspelt) could not be switched to.
    QList<Handle> sources;
    for (const QString& name : names) {
        const auto found = described.constFind(name);
        if (found != described.cend())
            sources.append(std::make_shared<const EngineSource>(*found));
    }
    return sources;
}

TextInputSources::Handle IbusTextInputSources::currentKeyboardSource()
{
    // Fails with an error, rather than an empty engine, while no engine was ever set.
    const std::optional<QList<QVariant>> reply =
        m_daemon.call(QDBusMessage::createMethodCall(ibusService, ibusPath,
                                                     u"org.freedesktop.DBus.Properties"_s, u"Get"_s)
                      << ibusService << u"GlobalEngine"_s);
    if (!reply || reply->isEmpty())
        return nullptr;
    std::optional<IbusEngineDescription> description =
        IbusEngineDescription::fromDBus(reply->first());
    if (!description)
        return nullptr;
    return std::make_shared<const EngineSource>(std::move(*description));
}

int IbusTextInputSources::select(const Handle& source)
{
    const EngineSource* engine = engineSourceOf(source);
    if (!engine || !enabledEngineNames().contains(engine->description().name))
        return notEnabled;
    const std::optional<QList<QVariant>> reply =
        m_daemon.call(ibusMethodCall(u"SetGlobalEngine"_s) << engine->description().name);
    return reply ? selectAccepted : notTaken;
}

QStringList IbusTextInputSources::enabledEngineNames()
{
    QStringList names;
    for (const IbusEngineList::Entry& entry : m_engineList.entries()) {
        if (!entry.engineName.isEmpty())
            names.append(entry.engineName);
        else if (std::optional<QString> engine = engineForLayout(entry.layout, entry.variant))
            names.append(*engine);
    }
    return names;
}

std::optional<QString> IbusTextInputSources::engineForLayout(const QString& layout,
                                                             const QString& variant)
{
    if (m_layoutEnginesConnection == m_daemon.connectionNumber())
        return m_layoutEngines.value(layout + u'(' + variant + u')');
    // Learnt in the background: the description of every engine takes the daemon longer than
    // a call may wait. The layouts are listed once it arrives, and the change announced.
    if (m_layoutEnginesRequested == m_daemon.connectionNumber())
        return std::nullopt;
    const bool requested = m_daemon.callInBackground(
        QDBusMessage::createMethodCall(ibusService, ibusPath, u"org.freedesktop.DBus.Properties"_s,
                                       u"Get"_s)
            << ibusService << u"Engines"_s,
        allEnginesTimeoutMs, [this](std::optional<QList<QVariant>> reply) {
            if (reply && !reply->isEmpty())
                learnLayoutEngines(reply->first());
            else
                m_layoutEnginesRequested.reset();
        });
    if (requested)
        m_layoutEnginesRequested = m_daemon.connectionNumber();
    return std::nullopt;
}

void IbusTextInputSources::learnLayoutEngines(const QVariant& engines)
{
    // Of several engines for one layout (one per language it serves) the one IBus ranks first;
    // among equals the first by name, so that the choice stays the same from one daemon to the
    // next, which lists its engines in no set order.
    QHash<QString, IbusEngineDescription> chosen;
    for (IbusEngineDescription& engine : IbusEngineDescription::listFromDBus(engines)) {
        if (!engine.name.startsWith(u"xkb:"_s) || engine.layout.isEmpty())
            continue;
        const QString key = engine.layout + u'(' + engine.layoutVariant + u')';
        const auto known = chosen.constFind(key);
        if (known == chosen.cend() || engine.rank > known->rank ||
            (engine.rank == known->rank && engine.name < known->name))
            chosen.insert(key, std::move(engine));
    }
    m_layoutEngines.clear();
    for (auto it = chosen.cbegin(); it != chosen.cend(); ++it)
        m_layoutEngines.insert(it.key(), it->name);
    m_layoutEnginesConnection = m_daemon.connectionNumber();
    announceSelectedKeyboardSourceChanged();
}

const IbusTextInputSources::EngineSource* IbusTextInputSources::engineSourceOf(const Handle& source)
{
    return dynamic_cast<const EngineSource*>(source.get());
}

std::optional<bool> IbusTextInputSources::isSelectCapable(const Handle& source) const
{
    if (!engineSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> IbusTextInputSources::category(const Handle& source) const
{
    if (!engineSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> IbusTextInputSources::identifier(const Handle& source) const
{
    const EngineSource* engine = engineSourceOf(source);
    if (!engine)
        return std::nullopt;
    return engine->description().name;
}

std::optional<QString> IbusTextInputSources::localizedName(const Handle& source) const
{
    const EngineSource* engine = engineSourceOf(source);
    if (!engine || engine->description().longName.isEmpty())
        return std::nullopt;
    return engine->description().longName;
}

std::optional<QString> IbusTextInputSources::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // engines are not installed as bundles
}

std::optional<QUrl> IbusTextInputSources::iconURL(const Handle& source) const
{
    const EngineSource* engine = engineSourceOf(source);
    if (!engine)
        return std::nullopt;
    return engine->description().iconURL();
}

} // namespace korvalen
