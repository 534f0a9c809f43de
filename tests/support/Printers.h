#pragma once

#include "platform/Workspace.h"

#include <QString>

#include <ostream>

// How failure messages show values: as readable text rather than as bytes. GoogleTest finds
// these through the namespace of the printed type.

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace korvalen {

inline void PrintTo(const RunningApplication& application, std::ostream* out)
{
    const char* policies[] = {"regular", "accessory", "prohibited"};
    *out << "{" << application.bundleID.value_or(QStringLiteral("(none)")).toStdString() << ", \""
         << application.localizedName.toStdString() << "\", \""
         << application.bundlePath.toStdString() << "\", "
         << policies[int(application.activationPolicy)] << "}";
}

} // namespace korvalen
