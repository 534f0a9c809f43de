#include "platform/linux/AutomaticTextInputSources.h"

namespace korvalen {

AutomaticTextInputSources::AutomaticTextInputSources(
    std::vector<std::unique_ptr<InputMethodFramework>> frameworks,
    std::unique_ptr<TextInputSources> layouts, QString layoutsName)
    : m_frameworks(std::move(frameworks))
    , m_layouts(std::move(layouts))
    , m_layoutsName(std::move(layoutsName))
{
    const auto passOnFrom = [this](const TextInputSources* backend) {
        return [this, backend] {
            if (&backendInUse() == backend)
                announceSelectedKeyboardSourceChanged();
        };
    };
    for (const auto& framework : m_frameworks) {
        m_subscriptions.push_back(
            framework->subscribeToSelectedKeyboardSourceChanges(passOnFrom(framework.get())));
        m_subscriptions.push_back(
            framework->subscribeToRunningChanges([this] { followBackendInUse(); }));
    }
    m_subscriptions.push_back(
        m_layouts->subscribeToSelectedKeyboardSourceChanges(passOnFrom(m_layouts.get())));
    m_lastInUse = &backendInUse();
}

TextInputSources& AutomaticTextInputSources::backendInUse()
{
    for (const auto& framework : m_frameworks) {
        if (framework->isRunning())
            return *framework;
    }
    return *m_layouts;
}

void AutomaticTextInputSources::followBackendInUse()
{
    const TextInputSources* inUse = &backendInUse();
    if (inUse == m_lastInUse)
        return;
    m_lastInUse = inUse;
    announceSelectedKeyboardSourceChanged();
}

QString AutomaticTextInputSources::backendInUseName()
{
    for (const auto& framework : m_frameworks) {
        if (framework->isRunning())
            return framework->name();
    }
    return m_layoutsName;
}

QList<TextInputSources::Handle> AutomaticTextInputSources::enabledSources()
{
    return backendInUse().enabledSources();
}

TextInputSources::Handle AutomaticTextInputSources::currentKeyboardSource()
{
    return backendInUse().currentKeyboardSource();
}

int AutomaticTextInputSources::select(const Handle& source)
{
    // A source listed by a backend that is no longer in use is refused by the one in use, as
    // the handle is not its own.
    return backendInUse().select(source);
}

void AutomaticTextInputSources::setChangeNotificationsNeeded(bool needed)
{
    for (const auto& framework : m_frameworks)
        framework->setChangeNotificationsNeeded(needed);
    m_layouts->setChangeNotificationsNeeded(needed);
}

bool AutomaticTextInputSources::keepsSourcePerWindow()
{
    return backendInUse().keepsSourcePerWindow();
}

template <typename T>
std::optional<T> AutomaticTextInputSources::firstAnswer(
    std::optional<T> (TextInputSources::*property)(const Handle&) const, const Handle& source) const
{
    for (const auto& framework : m_frameworks) {
        if (auto answer = (*framework.*property)(source))
            return answer;
    }
    return (*m_layouts.*property)(source);
}

std::optional<bool> AutomaticTextInputSources::isSelectCapable(const Handle& source) const
{
    return firstAnswer(&TextInputSources::isSelectCapable, source);
}

std::optional<QString> AutomaticTextInputSources::category(const Handle& source) const
{
    return firstAnswer(&TextInputSources::category, source);
}

std::optional<QString> AutomaticTextInputSources::identifier(const Handle& source) const
{
    return firstAnswer(&TextInputSources::identifier, source);
}

std::optional<QString> AutomaticTextInputSources::localizedName(const Handle& source) const
{
    return firstAnswer(&TextInputSources::localizedName, source);
}

std::optional<QString> AutomaticTextInputSources::inputMethodBundleID(const Handle& source) const
{
    return firstAnswer(&TextInputSources::inputMethodBundleID, source);
}

std::optional<QUrl> AutomaticTextInputSources::iconURL(const Handle& source) const
{
    return firstAnswer(&TextInputSources::iconURL, source);
}

} // namespace korvalen
