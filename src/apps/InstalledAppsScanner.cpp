#include "apps/InstalledAppsScanner.h"

#include "support/LocalizedStandardOrder.h"

#include <QSet>

namespace korvalen::InstalledAppsScanner {

namespace {

void sortByDisplayName(QList<InstalledApp>& apps)
{
    LocalizedStandardOrder().sortStably(apps,
                                        [](const InstalledApp& app) { return app.displayName; });
}

// An empty identifier cannot tell one application from another, so it counts as none.
bool takeIdentifier(QSet<QString>& taken, const std::optional<QString>& identifier)
{
    if (!identifier || identifier->isEmpty() || taken.contains(*identifier))
        return false;
    taken.insert(*identifier);
    return true;
}

QString displayName(const ApplicationBundles& bundles, const ApplicationBundle& bundle,
                    const QString& entryName)
{
    if (bundle.displayName)
        return *bundle.displayName;
    if (bundle.name)
        return *bundle.name;
    return bundles.fallbackName(entryName);
}

} // namespace

QList<InstalledApp> scan(const ApplicationBundles& bundles)
{
    QSet<QString> taken;
    QList<InstalledApp> apps;
    for (const QString& folder : bundles.scanDirectories()) {
        const std::optional<QStringList> entryNames = bundles.entryNames(folder);
        if (!entryNames)
            continue;
        for (const QString& entryName : *entryNames) {
            if (!bundles.isApplicationEntry(entryName))
                continue;
            const std::optional<ApplicationBundle> bundle = bundles.open(folder, entryName);
            // The first copy of an identifier wins before its name is looked at, so a later copy
            // under another name is dropped too; a hidden copy wins as well, and hides the rest.
            if (!bundle || !takeIdentifier(taken, bundle->identifier) || bundle->isHidden)
                continue;
            apps.append(InstalledApp{*bundle->identifier, displayName(bundles, *bundle, entryName),
                                     ApplicationBundles::entryPath(folder, entryName)});
        }
    }
    sortByDisplayName(apps);
    return apps;
}

QList<InstalledApp> pickerApps(const ApplicationBundles& bundles, const Workspace& workspace)
{
    QSet<QString> taken;
    QList<InstalledApp> apps;
    for (const RunningApplication& running : workspace.runningApplications()) {
        if (running.activationPolicy != RunningApplication::ActivationPolicy::regular ||
            !takeIdentifier(taken, running.bundleID))
            continue;
        const QString& bundleID = *running.bundleID;
        apps.append(InstalledApp{bundleID,
                                 running.localizedName.isEmpty() ? bundleID : running.localizedName,
                                 running.bundlePath});
    }
    for (InstalledApp& installed : scan(bundles)) {
        if (takeIdentifier(taken, installed.bundleID))
            apps.append(std::move(installed));
    }
    sortByDisplayName(apps);
    return apps;
}

} // namespace korvalen::InstalledAppsScanner
