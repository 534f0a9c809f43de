#include "platform/linux/CompositorKeyboardLayouts.h"

namespace korvalen {

QList<TextInputSources::Handle> CompositorKeyboardLayouts::enabledSources()
{
    const auto found = keyboard();
    return found ? sourcesOf(found->layouts) : QList<Handle>();
}

TextInputSources::Handle CompositorKeyboardLayouts::currentKeyboardSource()
{
    const auto found = keyboard();
    return found ? sourceAt(found->layouts, found->activeIndex) : nullptr;
}

int CompositorKeyboardLayouts::select(const Handle& source)
{
    if (!layoutSourceOf(source))
        return noSuchLayout;
    const auto found = keyboard();
    const LayoutSource* layout = found ? stillListed(source, found->layouts) : nullptr;
    if (!layout)
        return noSuchLayout;
    return switchTo(layout->position()) ? selectAccepted : notSent;
}

} // namespace korvalen
