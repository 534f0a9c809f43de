#include "rules_window/TextStyles.h"

#include <QPalette>

namespace korvalen::TextStyles {

namespace {

void scaleFont(QWidget& widget, double factor)
{
    QFont font = widget.font();
    font.setPointSizeF(font.pointSizeF() * factor);
    widget.setFont(font);
}

} // namespace

void makeTitle(QLabel& label)
{
    scaleFont(label, 1.15);
    QFont font = label.font();
    font.setBold(true);
    label.setFont(font);
}

void makeNote(QLabel& label)
{
    makeCaption(label);
    makeSecondary(label);
    label.setWordWrap(true);
}

void makeCaption(QLabel& label)
{
    scaleFont(label, 0.9);
}

void makeSecondary(QWidget& widget)
{
    // The placeholder colour is the palette's own dimmed text, kept when the palette changes.
    widget.setForegroundRole(QPalette::PlaceholderText);
}

} // namespace korvalen::TextStyles
