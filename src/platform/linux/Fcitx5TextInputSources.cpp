#include "platform/linux/Fcitx5TextInputSources.h"

using namespace Qt::Literals::StringLiterals;

namespace korvalen {

// One input method as it was when the source was made; its description is absent when fcitx5
// did not give one.
class Fcitx5TextInputSources::InputMethodSource final : public TextInputSources::Source {
public:
    InputMethodSource(QString uniqueName, std::optional<Fcitx5Controller::InputMethod> description)
        : m_uniqueName(std::move(uniqueName))
        , m_description(std::move(description))
    {
    }
    const QString& uniqueName() const { return m_uniqueName; }
    const std::optional<Fcitx5Controller::InputMethod>& description() const
    {
        return m_description;
    }

private:
    QString m_uniqueName;
    std::optional<Fcitx5Controller::InputMethod> m_description;
};

Fcitx5TextInputSources::Fcitx5TextInputSources(QDBusConnection bus)
    : m_controller(std::move(bus))
    , m_changes(m_controller)
    , m_followThrough(m_controller)
{
    m_checkSoon.setSingleShot(true);
    m_checkSoon.setInterval(0);
    QObject::connect(&m_checkSoon, &QTimer::timeout, [this] { checkCurrent(); });

    m_subscriptions.push_back(m_changes.subscribeToNews([this] {
        // News of a change of focus is what a switch being followed through waits for.
        m_followThrough.lookNow();
        m_checkSoon.start();
    }));
    m_subscriptions.push_back(
        m_followThrough.subscribeToLateSwitches([this] { m_checkSoon.start(); }));
    m_subscriptions.push_back(m_controller.subscribeToDaemonChanges([this] {
        m_followThrough.stop();
        m_announcedCurrent =
            isRunning() ? m_controller.currentInputMethod() : std::optional(QString());
        announceRunningChanged();
        announceSelectedKeyboardSourceChanged();
    }));
    m_subscriptions.push_back(m_controller.subscribeToGroupChanges([this] {
        m_announcedCurrent = m_controller.currentInputMethod();
        announceSelectedKeyboardSourceChanged();
    }));
}

QString Fcitx5TextInputSources::name() const
{
    return u"fcitx5"_s;
}

bool Fcitx5TextInputSources::isRunning()
{
    return !m_controller.daemonConnection().isEmpty();
}

TextInputSources::Handle Fcitx5TextInputSources::makeSource(const QString& uniqueName)
{
    return std::make_shared<const InputMethodSource>(uniqueName,
                                                     m_controller.inputMethod(uniqueName));
}

QList<TextInputSources::Handle> Fcitx5TextInputSources::enabledSources()
{
    QList<Handle> sources;
    for (const QString& uniqueName :
         m_controller.currentGroupInputMethods().value_or(QStringList()))
        sources.append(makeSource(uniqueName));
    return sources;
}

TextInputSources::Handle Fcitx5TextInputSources::currentKeyboardSource()
{
    const std::optional<QString> current = m_controller.currentInputMethod();
    if (!current || current->isEmpty())
        return nullptr;
    return makeSource(*current);
}

int Fcitx5TextInputSources::select(const Handle& source)
{
    const InputMethodSource* inputMethod = inputMethodSourceOf(source);
    if (!inputMethod)
        return notInGroup;
    // fcitx5 ignores a switch to an input method outside the current group without a word.
    const std::optional<QStringList> group = m_controller.currentGroupInputMethods();
    if (!group)
        return notSent;
    if (!group->contains(inputMethod->uniqueName()))
        return notInGroup;
    if (!m_followThrough.start(inputMethod->uniqueName()))
        return notSent;
    m_checkSoon.start();
    return selectAccepted;
}

void Fcitx5TextInputSources::checkCurrent()
{
    const std::optional<QString> current = m_controller.currentInputMethod();
    if (!current || current == m_announcedCurrent)
        return;
    m_announcedCurrent = current;
    announceSelectedKeyboardSourceChanged();
}

void Fcitx5TextInputSources::setChangeNotificationsNeeded(bool needed)
{
    m_changes.setNeeded(needed);
}

Fcitx5ChangeWatcher::EventSource Fcitx5TextInputSources::activeEventSource() const
{
    return m_changes.activeEventSource();
}

bool Fcitx5TextInputSources::isPolling() const
{
    return m_changes.isPolling();
}

const Fcitx5TextInputSources::InputMethodSource*
Fcitx5TextInputSources::inputMethodSourceOf(const Handle& source)
{
    return dynamic_cast<const InputMethodSource*>(source.get());
}

std::optional<bool> Fcitx5TextInputSources::isSelectCapable(const Handle& source) const
{
    if (!inputMethodSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> Fcitx5TextInputSources::category(const Handle& source) const
{
    if (!inputMethodSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> Fcitx5TextInputSources::identifier(const Handle& source) const
{
    const InputMethodSource* inputMethod = inputMethodSourceOf(source);
    if (!inputMethod || inputMethod->uniqueName().isEmpty())
        return std::nullopt;
    return inputMethod->uniqueName();
}

std::optional<QString> Fcitx5TextInputSources::localizedName(const Handle& source) const
{
    const InputMethodSource* inputMethod = inputMethodSourceOf(source);
    if (!inputMethod || !inputMethod->description() || inputMethod->description()->name.isEmpty())
        return std::nullopt;
    return inputMethod->description()->name;
}

std::optional<QString> Fcitx5TextInputSources::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // fcitx5's input methods come from addons, not application bundles
}

std::optional<QUrl> Fcitx5TextInputSources::iconURL(const Handle& source) const
{
    const InputMethodSource* inputMethod = inputMethodSourceOf(source);
    if (!inputMethod || !inputMethod->description() || inputMethod->description()->icon.isEmpty())
        return std::nullopt;
    const QString& icon = inputMethod->description()->icon;
    if (icon.startsWith(u'/'))
        return QUrl::fromLocalFile(icon);
    QUrl url;
    url.setScheme(themeIconScheme);
    url.setPath(icon);
    return url;
}

} // namespace korvalen
