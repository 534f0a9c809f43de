#include "input/InputSourceManager.h"

#include <algorithm>

namespace korvalen::InputSourceManager {

std::optional<InputSource> makeInputSource(const TextInputSources& platform,
                                           const TextInputSources::Handle& from)
{
    if (platform.isSelectCapable(from) != true)
        return std::nullopt;
    if (platform.category(from) != TextInputSources::keyboardCategory)
        return std::nullopt;
    // An empty text names nothing: it could never be told apart in a rule or shown in a menu.
    const QString id = platform.identifier(from).value_or(QString());
    if (id.isEmpty())
        return std::nullopt;
    const QString name = platform.localizedName(from).value_or(QString());
    return InputSource{id, name.isEmpty() ? id : name, from};
}

QList<InputSource> selectableKeyboardSources(TextInputSources& platform)
{
    QList<InputSource> sources;
    for (const TextInputSources::Handle& handle : platform.enabledSources()) {
        if (auto source = makeInputSource(platform, handle))
            sources.append(std::move(*source));
    }
    return sources;
}

std::optional<InputSource> currentSource(TextInputSources& platform)
{
    return makeInputSource(platform, platform.currentKeyboardSource());
}

bool select(TextInputSources& platform, const QString& id)
{
    const QList<InputSource> sources = selectableKeyboardSources(platform);
    const auto match = std::ranges::find(sources, id, &InputSource::id);
    if (match == sources.end())
        return false;
    return platform.select(match->raw) == TextInputSources::selectAccepted;
}

} // namespace korvalen::InputSourceManager
