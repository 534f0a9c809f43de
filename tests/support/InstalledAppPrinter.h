#pragma once

#include "apps/InstalledApp.h"

#include <ostream>

// How failure messages show an installed application. GoogleTest finds it through the namespace
// of the printed type.

namespace korvalen {

inline void PrintTo(const InstalledApp& app, std::ostream* out)
{
    *out << "{" << app.bundleID.toStdString() << ", \"" << app.displayName.toStdString() << "\", \""
         << app.bundlePath.toStdString() << "\"}";
}

} // namespace korvalen
