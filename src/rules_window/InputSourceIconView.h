#pragma once

#include "input/InputSource.h"
#include "rules_window/IconView.h"

#include <optional>

namespace korvalen {

class ItemIcons;

// The icon of an input source, 18 × 18: its own icon stretched to the square, else the keyboard
// symbol, dimmed. Decorative: the text beside it names the source.
class InputSourceIconView : public IconView {
    Q_OBJECT
public:
    explicit InputSourceIconView(const ItemIcons& icons, QWidget* parent = nullptr);

    void setSource(const std::optional<InputSource>& source);

    // What the view shows for a source (none: the keyboard symbol).
    static Picture pictureOf(const ItemIcons& icons, const std::optional<InputSource>& source);

private:
    const ItemIcons& m_icons;
};

} // namespace korvalen
