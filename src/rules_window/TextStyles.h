#pragma once

#include <QLabel>

namespace korvalen::TextStyles {

// The rules window's text styles, from the application font and the palette alone, so that they
// follow the desktop's font size and its light or dark colours.

// A section heading: bold and a step larger.
void makeTitle(QLabel& label);
// An explanation under a control: a step smaller, dimmed, wrapped to the window's width.
void makeNote(QLabel& label);
// A short label beside a control: a step smaller.
void makeCaption(QLabel& label);
// Dimmed text: the palette's placeholder colour.
void makeSecondary(QWidget& widget);

} // namespace korvalen::TextStyles
