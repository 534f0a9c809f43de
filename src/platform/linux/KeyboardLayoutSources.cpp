#include "platform/linux/KeyboardLayoutSources.h"

namespace korvalen {

const KeyboardLayoutSources::LayoutSource*
KeyboardLayoutSources::layoutSourceOf(const Handle& source)
{
    return dynamic_cast<const LayoutSource*>(source.get());
}

TextInputSources::Handle KeyboardLayoutSources::sourceAt(const QList<Layout>& layouts, int position)
{
    if (position < 0 || position >= layouts.size())
        return nullptr;
    return std::make_shared<const LayoutSource>(position, layouts.at(position));
}

QList<TextInputSources::Handle> KeyboardLayoutSources::sourcesOf(const QList<Layout>& layouts)
{
    QList<Handle> sources;
    sources.reserve(layouts.size());
    for (int position = 0; position < layouts.size(); ++position)
        sources.append(sourceAt(layouts, position));
    return sources;
}

const KeyboardLayoutSources::LayoutSource*
KeyboardLayoutSources::stillListed(const Handle& source, const QList<Layout>& layouts)
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout || layout->position() >= layouts.size() ||
        layouts.at(layout->position()) != layout->layout())
        return nullptr;
    return layout;
}

std::optional<bool> KeyboardLayoutSources::isSelectCapable(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> KeyboardLayoutSources::category(const Handle& source) const
{
    if (!layoutSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> KeyboardLayoutSources::identifier(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout || layout->layout().identifier.isEmpty())
        return std::nullopt;
    return layout->layout().identifier;
}

std::optional<QString> KeyboardLayoutSources::localizedName(const Handle& source) const
{
    const LayoutSource* layout = layoutSourceOf(source);
    if (!layout)
        return std::nullopt;
    return layout->layout().name;
}

std::optional<QString> KeyboardLayoutSources::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // layouts are not provided by input methods
}

std::optional<QUrl> KeyboardLayoutSources::iconURL(const Handle&) const
{
    return std::nullopt; // none of the platforms has icons for layouts
}

} // namespace korvalen
