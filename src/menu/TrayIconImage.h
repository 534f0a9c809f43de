#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace korvalen {

// The tray icon, first that works: the icon theme's "input-keyboard", so the icon matches the
// rest of the panel; else the keyboard image shipped with Korvalen, in `colour`, so a bare
// system shows one too; else the keyboard character U+2328 drawn in `colour`. Always marked as a
// mask, which macOS draws in the menu bar's own colour (a template image).
QIcon trayIconImage(const QColor& colour);

// The same, with the shipped images looked for in `shippedImageFolder` (files
// "keyboard-<size>.png"), for tests.
QIcon trayIconImage(const QColor& colour, const QString& shippedImageFolder);

} // namespace korvalen
