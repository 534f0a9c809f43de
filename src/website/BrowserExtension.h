#pragma once

#include <QString>

namespace korvalen::BrowserExtension {

// Chromium derives an extension's ID from the public key in its manifest ("key"), so the ID is
// the same however the extension is installed and native messaging hosts can name it.
inline const QString chromiumId = QStringLiteral("dehodomojilnofilnigojgpgfahfgfag");
// Firefox takes the ID from the manifest's browser_specific_settings.gecko.id.
inline const QString firefoxId = QStringLiteral("browser-integration@korvalen.github.io");
// The name under which the extension asks the browser for its native messaging host.
inline const QString nativeHostName = QStringLiteral("io.github.korvalen.browser_host");

// Where Korvalen listens for the native messaging host's reports.
QString socketPath();

} // namespace korvalen::BrowserExtension
