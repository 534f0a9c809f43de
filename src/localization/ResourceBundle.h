#pragma once

#include "localization/Bundle.h"

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace korvalen {

// Where the resource bundle is looked for, in this order: installed beside the program
// (<prefix>/share/korvalen/Korvalen_Korvalen.bundle for a program in <prefix>/bin, and
// Contents/Resources/Korvalen_Korvalen.bundle in a macOS application bundle), then in the source
// tree the program was built from, so that a build runs without being installed.
// Needs the application object.
QStringList resourceBundleLocations();

// The bundle at the first location that is a folder. When there is none, that packaging fault
// is reported on `errors` and the result is none: the interface then shows the development
// texts rather than refusing to start.
std::optional<Bundle> findResourceBundle(const QStringList& locations, QTextStream& errors);

// The resource bundle of the running program: found on first use, once per process even when
// two threads ask first, and kept.
const std::optional<Bundle>& resourceBundle();

} // namespace korvalen
