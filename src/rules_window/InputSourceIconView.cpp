#include "rules_window/InputSourceIconView.h"

#include "rules_window/ItemIcons.h"
#include "rules_window/SymbolIcons.h"

namespace korvalen {

InputSourceIconView::InputSourceIconView(const ItemIcons& icons, QWidget* parent)
    : IconView(iconSide, parent)
    , m_icons(icons)
{
    setSource(std::nullopt);
}

void InputSourceIconView::setSource(const std::optional<InputSource>& source)
{
    setPicture(pictureOf(m_icons, source));
}

IconView::Picture InputSourceIconView::pictureOf(const ItemIcons& icons,
                                                 const std::optional<InputSource>& source)
{
    if (source) {
        if (QIcon icon = icons.forInputSource(*source); !icon.isNull())
            return {std::move(icon), Picture::Scaling::stretch, false};
    }
    return {SymbolIcons::keyboard(), Picture::Scaling::fit, true};
}

} // namespace korvalen
