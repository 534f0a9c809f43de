#pragma once

#include "rules_window/IconView.h"

#include <QString>

namespace korvalen {

class ItemIcons;

// The icon of an application, 18 × 18; the generic application icon when it has none.
// Decorative: the text beside it names the application.
class AppIconView : public IconView {
    Q_OBJECT
public:
    explicit AppIconView(const ItemIcons& icons, QWidget* parent = nullptr);

    // The bundle (macOS) or desktop entry (Linux) of the application; empty when unknown.
    void setBundlePath(const QString& bundlePath);

    // What the view shows for the application at a path.
    static Picture pictureOf(const ItemIcons& icons, const QString& bundlePath);

private:
    const ItemIcons& m_icons;
};

} // namespace korvalen
