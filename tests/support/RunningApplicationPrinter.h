#pragma once

#include "platform/Workspace.h"

#include <ostream>

// How failure messages show a running application. GoogleTest finds it through the namespace of
// the printed type. (Texts print through QtPrinters.h, which every test file gets.)

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
