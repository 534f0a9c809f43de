// Times the application picker list with 2,000 installed applications and 100 running ones, for
// each way applications are installed: desktop entries (Linux) and .app bundles (macOS). The
// files are in the page cache, as they are when the user opens the rules window a second time.

#include "apps/InstalledAppsScanner.h"
#include "platform/InfoPlistApplicationBundles.h"
#include "platform/linux/DesktopEntryApplicationBundles.h"
#include "platform/sim/SimWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace korvalen;

namespace {

constexpr int installedCount = 2000;
constexpr int runningCount = 100;
constexpr int rounds = 25;

const char* const words[] = {"Studio", "Editor", "viewer", "Mail",  "Notes", "Terminal",
                             "Photo",  "écran",  "Zip",    "Music", "Code",  "Browser"};

// A name like "Photo Editor 12", so that names share prefixes and hold digit runs.
QString applicationName(int i)
{
    return QString::fromUtf8(words[i % 12]) + u' ' + QString::fromUtf8(words[(i / 12) % 12]) +
           u' ' + QString::number(i);
}

QString identifier(int i)
{
    return QStringLiteral("org.example.app%1").arg(i);
}

// Most applications in the first folder, as on a typical system.
int folderOf(int i)
{
    return i % 10 < 7 ? 0 : i % 10 < 9 ? 1 : 2;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// An entry the size of a common one: a name and comment in a few languages, and the usual keys.
bool writeDesktopEntries(const QStringList& folders)
{
    for (int i = 0; i < installedCount; ++i) {
        const QByteArray name = applicationName(i).toUtf8();
        QByteArray entry = "[Desktop Entry]\nType=Application\nName=" + name + '\n';
        for (const char* language : {"de", "fr", "ja", "ru", "zh_CN"})
            entry += "Name[" + QByteArray(language) + "]=" + name + "\nComment[" + language +
                     "]=Does what " + name + " does\n";
        entry += "Exec=app" + QByteArray::number(i) + " %U\nIcon=app" + QByteArray::number(i) +
                 "\nCategories=Utility;\nStartupNotify=true\n";
        // Every tenth entry in a vendor sub-folder.
        const QString file =
            i % 10 == 3 ? QStringLiteral("vendor/") + identifier(i) : identifier(i);
        if (!writeFile(folders.at(folderOf(i)) + u'/' + file + QStringLiteral(".desktop"), entry))
            return false;
    }
    return true;
}

bool writeBundles(const QStringList& folders)
{
    for (int i = 0; i < installedCount; ++i) {
        const QByteArray plist =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
            "<key>CFBundleIdentifier</key><string>" +
            identifier(i).toUtf8() + "</string>\n<key>CFBundleName</key><string>" +
            applicationName(i).toUtf8() +
            "</string>\n<key>CFBundleVersion</key><string>1.0</string>\n"
            "<key>LSMinimumSystemVersion</key><string>12.0</string>\n</dict></plist>\n";
        if (!writeFile(folders.at(folderOf(i)) + u'/' + applicationName(i) +
                           QStringLiteral(".app/Contents/Info.plist"),
                       plist))
            return false;
    }
    return true;
}

// Half the running applications are installed too, the rest run from elsewhere; every tenth is a
// helper that the picker leaves out.
QList<RunningApplication> runningApplications()
{
    QList<RunningApplication> running;
    for (int i = 0; i < runningCount; ++i) {
        const int app = i % 2 ? i * 7 : installedCount + i;
        running.append({identifier(app), applicationName(app) + QStringLiteral(" (running)"),
                        QStringLiteral("/opt/app%1").arg(app),
                        i % 10 ? RunningApplication::ActivationPolicy::regular
                               : RunningApplication::ActivationPolicy::accessory});
    }
    return running;
}

// Runs the picker list repeatedly after one warm-up round and prints the times.
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
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("%-16s %d installed, %d running, %lld listed: median %.1f ms, fastest %.1f ms, "
                "slowest %.1f ms; processor time %.1f ms per round (%d rounds)\n",
                label, installedCount, runningCount, static_cast<long long>(listed),
                milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back(),
                cpuMilliseconds, rounds);
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
