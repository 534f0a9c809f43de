#include "GeneratedApplications.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace korvalen::bench {

namespace {

const char* const words[] = {"Studio", "Editor", "viewer", "Mail",  "Notes", "Terminal",
                             "Photo",  "écran",  "Zip",    "Music", "Code",  "Browser"};

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

} // namespace

// A name like "Photo Editor 12", so that names share prefixes and hold digit runs.
QString applicationName(int i)
{
    return QString::fromUtf8(words[i % 12]) + u' ' + QString::fromUtf8(words[(i / 12) % 12]) +
           u' ' + QString::number(i);
}

QString applicationIdentifier(int i)
{
    return QStringLiteral("org.example.app%1").arg(i);
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
        const QString file = i % 10 == 3 ? QStringLiteral("vendor/") + applicationIdentifier(i)
                                         : applicationIdentifier(i);
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
            applicationIdentifier(i).toUtf8() + "</string>\n<key>CFBundleName</key><string>" +
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

} // namespace korvalen::bench
