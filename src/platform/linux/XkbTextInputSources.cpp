#include "platform/linux/XkbTextInputSources.h"

namespace korvalen {

// One layout group as it was when the source was listed.
class XkbTextInputSources::GroupSource final : public TextInputSources::Source {
public:
    GroupSource(int index, XkbCoreKeyboard::LayoutGroup group)
        : m_index(index)
        , m_group(std::move(group))
    {
    }
    int index() const { return m_index; }
    const XkbCoreKeyboard::LayoutGroup& group() const { return m_group; }

private:
    int m_index;
    XkbCoreKeyboard::LayoutGroup m_group;
};

XkbTextInputSources::XkbTextInputSources(const QByteArray& displayName)
    : m_keyboard(displayName)
    , m_groupChanges(
          m_keyboard.subscribeToLayoutChanges([this] { announceSelectedKeyboardSourceChanged(); }))
{
}

QList<TextInputSources::Handle> XkbTextInputSources::enabledSources()
{
    const QList<XkbCoreKeyboard::LayoutGroup> groups = m_keyboard.layoutGroups();
    QList<Handle> sources;
    for (int index = 0; index < groups.size(); ++index)
        sources.append(std::make_shared<const GroupSource>(index, groups.at(index)));
    return sources;
}

TextInputSources::Handle XkbTextInputSources::currentKeyboardSource()
{
    const std::optional<int> reported = m_keyboard.currentGroup();
    const QList<XkbCoreKeyboard::LayoutGroup> groups = m_keyboard.layoutGroups();
    if (!reported || groups.isEmpty())
        return nullptr;
    // The layout the keys type with: a group past the last one wraps around, as keys wrap it.
    const int index = *reported % int(groups.size());
    return std::make_shared<const GroupSource>(index, groups.at(index));
}

int XkbTextInputSources::select(const Handle& source)
{
    const GroupSource* groupSource = groupSourceOf(source);
    if (!groupSource)
        return noSuchGroup;
    // Group numbers are only positions: after a reload the same number may hold another layout.
    const QList<XkbCoreKeyboard::LayoutGroup> groups = m_keyboard.layoutGroups();
    const int index = groupSource->index();
    if (index >= groups.size() || groups.at(index).identifier != groupSource->group().identifier)
        return noSuchGroup;
    return m_keyboard.lockGroup(index) ? selectAccepted : notSent;
}

const XkbTextInputSources::GroupSource* XkbTextInputSources::groupSourceOf(const Handle& source)
{
    return dynamic_cast<const GroupSource*>(source.get());
}

std::optional<bool> XkbTextInputSources::isSelectCapable(const Handle& source) const
{
    if (!groupSourceOf(source))
        return std::nullopt;
    return true;
}

std::optional<QString> XkbTextInputSources::category(const Handle& source) const
{
    if (!groupSourceOf(source))
        return std::nullopt;
    return keyboardCategory;
}

std::optional<QString> XkbTextInputSources::identifier(const Handle& source) const
{
    const GroupSource* groupSource = groupSourceOf(source);
    if (!groupSource || groupSource->group().identifier.isEmpty())
        return std::nullopt;
    return groupSource->group().identifier;
}

std::optional<QString> XkbTextInputSources::localizedName(const Handle& source) const
{
    const GroupSource* groupSource = groupSourceOf(source);
    if (!groupSource)
        return std::nullopt;
    return groupSource->group().name;
}

std::optional<QString> XkbTextInputSources::inputMethodBundleID(const Handle&) const
{
    return std::nullopt; // layouts are not provided by input methods
}

std::optional<QUrl> XkbTextInputSources::iconURL(const Handle&) const
{
    return std::nullopt; // XKB has no icons
}

} // namespace korvalen
