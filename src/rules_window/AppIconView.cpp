#include "rules_window/AppIconView.h"

#include "rules_window/ItemIcons.h"

namespace korvalen {

AppIconView::AppIconView(const ItemIcons& icons, QWidget* parent)
    : IconView(iconSide, parent)
    , m_icons(icons)
{
    setBundlePath(QString());
}

void AppIconView::setBundlePath(const QString& bundlePath)
{
    setPicture(pictureOf(m_icons, bundlePath));
}

IconView::Picture AppIconView::pictureOf(const ItemIcons& icons, const QString& bundlePath)
{
    return {icons.forApplicationAt(bundlePath), Picture::Scaling::fit, false};
}

} // namespace korvalen
