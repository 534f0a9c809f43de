#pragma once

#include <QIcon>
#include <Qt>

namespace korvalen {

// The small symbols of the rules window, from the icon theme so they match the desktop, else
// from images shipped with Korvalen so that a bare system shows them too. The shipped images come
// in the application palette's text colour of the moment they are asked for (and are marked as
// masks): ask again when the palette changes.
namespace SymbolIcons {

QIcon keyboard();    // "input-keyboard"
QIcon lightbulb();   // no freedesktop name: always the shipped image
QIcon info();        // "dialog-information"
QIcon trash();       // "edit-delete"
QIcon chevronDown(); // "go-down"
// An arrow pointing the way text runs: "go-next", or "go-previous" from right to left.
QIcon arrowForward(Qt::LayoutDirection direction);

} // namespace SymbolIcons

} // namespace korvalen
