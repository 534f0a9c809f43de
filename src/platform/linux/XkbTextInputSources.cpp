#include "platform/linux/XkbTextInputSources.h"

namespace korvalen {

XkbTextInputSources::XkbTextInputSources(const QByteArray& displayName)
    : m_keyboard(displayName)
    , m_groupChanges(
          m_keyboard.subscribeToLayoutChanges([this] { announceSelectedKeyboardSourceChanged(); }))
{
}

QList<KeyboardLayoutSources::Layout> XkbTextInputSources::layouts()
{
    QList<Layout> layouts;
    for (const XkbCoreKeyboard::LayoutGroup& group : m_keyboard.layoutGroups())
        layouts.append({group.identifier, group.name});
    return layouts;
}

QList<TextInputSources::Handle> XkbTextInputSources::enabledSources()
{
    return sourcesOf(layouts());
}

TextInputSources::Handle XkbTextInputSources::currentKeyboardSource()
{
    const std::optional<int> reported = m_keyboard.currentGroup();
    const QList<Layout> groups = layouts();
    if (!reported || groups.isEmpty())
        return nullptr;
    // The layout the keys type with: a group past the last one wraps around, as keys wrap it.
    return sourceAt(groups, *reported % int(groups.size()));
}

int XkbTextInputSources::select(const Handle& source)
{
    // Group numbers are only positions: after a reload the same number may hold another layout.
    const LayoutSource* group = stillListed(source, layouts());
    if (!group)
        return noSuchGroup;
    return m_keyboard.lockGroup(group->position()) ? selectAccepted : notSent;
}

} // namespace korvalen
