#pragma once

#include <QString>
#include <QStringList>

namespace korvalen::bench {

// Installed applications for the benchmarks: names like "Photo Editor 12", so that names share
// prefixes and hold digit runs, spread over folders as on a typical system.
constexpr int installedCount = 2000;

QString applicationName(int i);
QString applicationIdentifier(int i);
// Desktop entries the size of common ones in the three folders, most in the first.
bool writeDesktopEntries(const QStringList& folders);
// .app bundles with an Info.plist each, spread the same way.
bool writeBundles(const QStringList& folders);

} // namespace korvalen::bench
