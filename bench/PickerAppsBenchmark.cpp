// Times the application picker list with 2,000 installed applications and 100 running ones, for
// each way applications are installed: desktop entries (Linux) and .app bundles (macOS). The
// files are in the page cache, as they are when the user opens the rules window a second time.

#include "Figure.h"
#include "GeneratedApplications.h"
#include "apps/InstalledAppsScanner.h"
#include "platform/InfoPlistApplicationBundles.h"
#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "platform/sim/SimWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace korvalen;
using namespace korvalen::bench;

namespace {

constexpr int runningCount = 100;
constexpr int rounds = 25;

// Half the running applications are installed too, the rest run from elsewhere; every tenth is a
// helper that the picker leaves out.
QList<RunningApplication> runningApplications()
{
    QList<RunningApplication> running;
    for (int i = 0; i < runningCount; ++i) {
        const int app = i % 2 ? i * 7 : installedCount + i;
        running.append({applicationIdentifier(app),
                        applicationName(app) + QStringLiteral(" (running)"),
                        QStringLiteral("/opt/app%1").arg(app),
                        i % 10 ? RunningApplication::ActivationPolicy::regular
                               : RunningApplication::ActivationPolicy::accessory});
    }
    return running;
}

// Runs the picker list repeatedly after one warm-up round and prints the median time.
void timePickerApps(const char* label, const ApplicationBundles& bundles,
                    const Workspace& workspace)
{
    qsizetype listed = InstalledAppsScanner::pickerApps(bundles, workspace).size();
    std::vector<double> milliseconds;
    const std::clock_t cpuStart = std::clock();
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        listed = InstalledAppsScanner::pickerApps(bundles, workspace).size();
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    // The processor time shows the cost apart from other programs competing for the processor.
    const double cpuMilliseconds = double(std::clock() - cpuStart) * 1000 / CLOCKS_PER_SEC / rounds;
    std::fprintf(stderr, "pickerApps over %s: %lld listed; processor time %.1f ms per round\n",
                 label, static_cast<long long>(listed), cpuMilliseconds);
    printMedianFigure(std::string("pickerApps over ") + label + " (" +
                          std::to_string(installedCount) + " installed, " +
                          std::to_string(runningCount) + " running)",
                      std::move(milliseconds), "under 100 ms");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QTemporaryDir root;
    const auto folders = [&root](std::initializer_list<const char*> relativePaths) {
        QStringList paths;
        for (const char* relativePath : relativePaths)
            paths << root.filePath(QString::fromUtf8(relativePath));
        return paths;
    };
    const QStringList desktopFolders =
        folders({"home/.local/share/applications", "usr/local/share/applications",
                 "usr/share/applications"});
    const QStringList bundleFolders =
        folders({"Applications", "System/Applications", "home/Applications"});
    if (!root.isValid() || !writeDesktopEntries(desktopFolders) || !writeBundles(bundleFolders)) {
        std::fprintf(stderr, "could not write the applications to %s\n", qPrintable(root.path()));
        return 1;
    }
    SimWorkspace workspace;
    workspace.setRunningApplications(runningApplications());

    timePickerApps("desktop entries", DesktopEntryApplicationBundles(desktopFolders), workspace);
    timePickerApps(".app bundles", InfoPlistApplicationBundles(bundleFolders), workspace);
    return 0;
}
