#pragma once

#include "apps/InstalledApp.h"
#include "platform/ApplicationBundles.h"
#include "platform/Workspace.h"

#include <QList>

namespace korvalen {

// The applications offered in the application pickers. Keeps no state: every call reads the
// application folders and the workspace afresh, so applications installed, removed, started or
// quit since the previous call show up or vanish at the next one.
namespace InstalledAppsScanner {

// The applications installed in the folders of `bundles`, one per identifier (the copy in the
// earliest folder wins), sorted by display name in a file browser's order. Folders are read one
// level deep; a folder that cannot be read is passed over.
QList<InstalledApp> scan(const ApplicationBundles& bundles);

// The running ordinary applications, under the name and path they run with, together with the
// installed ones that are not running, one per identifier, sorted as `scan` sorts.
QList<InstalledApp> pickerApps(const ApplicationBundles& bundles, const Workspace& workspace);

} // namespace InstalledAppsScanner

} // namespace korvalen
