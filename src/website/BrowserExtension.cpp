#include "website/BrowserExtension.h"

#include <QStandardPaths>

namespace korvalen::BrowserExtension {

QString socketPath()
{
    // Qt checks that the runtime folder is the user's own and not readable by others.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/korvalen-browser.socket");
}

} // namespace korvalen::BrowserExtension
