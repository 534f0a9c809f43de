// Times the application picker list: 2,000 installed applications, 100 running ones, the files
// in the page cache as they are when the user opens the rules window a second time.

#include "apps/InstalledAppsScanner.h"
#include "platform/InfoPlistApplicationBundles.h"
#include "platform/sim/SimWorkspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
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

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Spreads the bundles over the folders as a Mac does: most in /Applications.
bool writeBundles(const QStringList& folders)
{
    for (int i = 0; i < installedCount; ++i) {
        const QString& folder = folders.at(i % 10 < 7 ? 0 : i % 10 < 9 ? 1 : 2);
        const QByteArray plist =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
            "<key>CFBundleIdentifier</key><string>" +
            identifier(i).toUtf8() + "</string>\n<key>CFBundleName</key><string>" +
            applicationName(i).toUtf8() +
            "</string>\n<key>CFBundleVersion</key><string>1.0</string>\n"
            "<key>LSMinimumSystemVersion</key><string>12.0</string>\n</dict></plist>\n";
        if (!writeFile(folder + u'/' + applicationName(i) +
                           QStringLiteral(".app/Contents/Info.plist"),
                       plist))
            return false;
    }
    return true;
}

// Half the running applications are installed too, the rest run from elsewhere; a few are
// helpers that the picker leaves out.
QList<RunningApplication> runningApplications()
{
    QList<RunningApplication> running;
    for (int i = 0; i < runningCount; ++i) {
        const int app = i % 2 ? i * 7 : installedCount + i;
        running.append({identifier(app), applicationName(app) + QStringLiteral(" (running)"),
                        QStringLiteral("/Volumes/Disk/App%1.app").arg(app),
                        i % 10 ? RunningApplication::ActivationPolicy::regular
                               : RunningApplication::ActivationPolicy::accessory});
    }
    return running;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QTemporaryDir root;
    const QStringList folders{root.filePath(QStringLiteral("Applications")),
                              root.filePath(QStringLiteral("System/Applications")),
                              root.filePath(QStringLiteral("home/Applications"))};
    if (!root.isValid() || !writeBundles(folders)) {
        std::fprintf(stderr, "could not write the applications to %s\n", qPrintable(root.path()));
        return 1;
    }
    const InfoPlistApplicationBundles bundles(folders);
    SimWorkspace workspace;
    workspace.setRunningApplications(runningApplications());

    qsizetype listed = InstalledAppsScanner::pickerApps(bundles, workspace).size(); // warm-up
    std::vector<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        listed = InstalledAppsScanner::pickerApps(bundles, workspace).size();
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("pickerApps, %d installed, %d running, %lld listed: median %.1f ms, fastest "
                "%.1f ms, slowest %.1f ms (%d rounds)\n",
                installedCount, runningCount, static_cast<long long>(listed),
                milliseconds[milliseconds.size() / 2], milliseconds.front(), milliseconds.back(),
                rounds);
    return 0;
}
