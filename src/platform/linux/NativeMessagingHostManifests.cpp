#include "platform/linux/NativeMessagingHostManifests.h"

#include "website/BrowserExtension.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <optional>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

using HostManifest = BrowserIntegration::HostManifest;
using Extension = BrowserIntegration::Extension;
using Outcome = BrowserIntegration::Outcome;

const QString hostProgramName = u"korvalen-browser-host"_s;

QString manifestIn(const QString& folder)
{
    return folder + u'/' + BrowserExtension::nativeHostName + u".json"_s;
}

std::optional<QJsonObject> readJsonObject(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

struct ManifestReading {
    HostManifest state = HostManifest::absent;
    QString hostPath;
};

// Korvalen's manifests are told by what they say, not by who wrote them: the host's name and a
// program of the host's name. So a manifest an older Korvalen wrote for another prefix is
// replaced, and a file someone else put under this name is left alone.
ManifestReading readManifest(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    const auto manifest = readJsonObject(path);
    const QString hostPath = manifest ? manifest->value(u"path"_s).toString() : QString();
    if (!manifest || manifest->value(u"name"_s).toString() != BrowserExtension::nativeHostName ||
        QFileInfo(hostPath).fileName() != hostProgramName)
        return {HostManifest::notOurs, {}};
    const QFileInfo host(hostPath);
    return {host.isAbsolute() && host.isFile() && host.isExecutable() ? HostManifest::ready
                                                                      : HostManifest::hostMissing,
            hostPath};
}

// Packed and store extensions are unpacked into the profile's Extensions folder; one loaded
// unpacked is only listed in the preferences, which Chromium keeps in one of two files.
Extension chromiumExtension(const QString& profileFolder)
{
    const QDir profile(profileFolder + u"/Default"_s);
    if (QFileInfo(profile.filePath(u"Extensions/"_s + BrowserExtension::chromiumId)).isDir())
        return Extension::added;
    bool read = false;
    for (const QString& name : {u"Secure Preferences"_s, u"Preferences"_s}) {
        const auto preferences = readJsonObject(profile.filePath(name));
        if (!preferences)
            continue;
        read = true;
        if (preferences->value(u"extensions"_s)
                .toObject()
                .value(u"settings"_s)
                .toObject()
                .contains(BrowserExtension::chromiumId))
            return Extension::added;
    }
    return read ? Extension::notAdded : Extension::unknown;
}

Extension firefoxExtension(const QString& profilesFolder)
{
    bool read = false;
    const auto profiles = QDir(profilesFolder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo& profile : profiles) {
        const auto extensions = readJsonObject(profile.filePath() + u"/extensions.json"_s);
        if (!extensions)
            continue;
        read = true;
        for (const QJsonValue addon : extensions->value(u"addons"_s).toArray()) {
            if (addon.toObject().value(u"id"_s).toString() == BrowserExtension::firefoxId)
                return Extension::added;
        }
    }
    return read ? Extension::notAdded : Extension::unknown;
}

} // namespace

QList<NativeMessagingHostManifests::Browser>
NativeMessagingHostManifests::standardBrowsers(const QString& home, const QString& configHome,
                                               const QString& systemRoot)
{
    return {
        {u"Chromium"_s,
         Family::chromium,
         configHome + u"/chromium"_s,
         configHome + u"/chromium/NativeMessagingHosts"_s,
         systemRoot + u"/etc/chromium/native-messaging-hosts"_s,
         {u"chromium"_s, u"chromium-browser"_s}},
        {u"Google Chrome"_s,
         Family::chromium,
         configHome + u"/google-chrome"_s,
         configHome + u"/google-chrome/NativeMessagingHosts"_s,
         systemRoot + u"/etc/opt/chrome/native-messaging-hosts"_s,
         {u"google-chrome"_s, u"google-chrome-stable"_s}},
        {u"Firefox"_s,
         Family::firefox,
         home + u"/.mozilla/firefox"_s,
         home + u"/.mozilla/native-messaging-hosts"_s,
         systemRoot + u"/usr/lib/mozilla/native-messaging-hosts"_s,
         {u"firefox"_s, u"firefox-esr"_s}},
    };
}

std::unique_ptr<NativeMessagingHostManifests>
NativeMessagingHostManifests::forCurrentUser(const QString& programFolder)
{
    const QDir folder(programFolder);
    const QString data = QDir::cleanPath(folder.filePath(QStringLiteral(KORVALEN_INSTALLED_DATA)));
    const QString installedExtension = data + u"/browser-extension"_s;
    const QString package = data + u"/korvalen-browser-extension.xpi"_s;
    return std::make_unique<NativeMessagingHostManifests>(
        standardBrowsers(QDir::homePath(),
                         QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
        QStringList(), folder.filePath(hostProgramName),
        QFileInfo(installedExtension).isDir() ? installedExtension
                                              : QStringLiteral(KORVALEN_SOURCE_EXTENSION),
        QFileInfo::exists(package) ? package : QString());
}

NativeMessagingHostManifests::NativeMessagingHostManifests(QList<Browser> browsers,
                                                           QStringList programSearchPath,
                                                           QString hostProgram,
                                                           QString extensionFolder,
                                                           QString firefoxExtensionPackage)
    : m_browsers(std::move(browsers))
    , m_programSearchPath(std::move(programSearchPath))
    , m_hostProgram(std::move(hostProgram))
    , m_extensionFolder(std::move(extensionFolder))
    , m_firefoxExtensionPackage(std::move(firefoxExtensionPackage))
{
}

bool NativeMessagingHostManifests::isInstalled(const Browser& browser) const
{
    if (QFileInfo(browser.profileFolder).isDir())
        return true;
    return std::any_of(
        browser.programs.begin(), browser.programs.end(), [this](const QString& program) {
            return !QStandardPaths::findExecutable(program, m_programSearchPath).isEmpty();
        });
}

QByteArray NativeMessagingHostManifests::manifestFor(Family family) const
{
    QJsonObject manifest{
        {u"name"_s, BrowserExtension::nativeHostName},
        {u"description"_s, u"Tells Korvalen which website the active tab shows"_s},
        {u"path"_s, m_hostProgram},
        {u"type"_s, u"stdio"_s},
    };
    if (family == Family::chromium)
        manifest.insert(u"allowed_origins"_s,
                        QJsonArray{u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/'});
    else
        manifest.insert(u"allowed_extensions"_s, QJsonArray{BrowserExtension::firefoxId});
    return QJsonDocument(manifest).toJson();
}

QList<BrowserIntegration::Change> NativeMessagingHostManifests::install()
{
    QList<Change> changes;
    for (const Browser& browser : m_browsers) {
        const QString path = manifestIn(browser.manifestFolder);
        Change change{browser.name, path, Outcome::failed};
        if (!isInstalled(browser)) {
            change.outcome = Outcome::notInstalled;
        }
        else if (readManifest(path).state == HostManifest::notOurs) {
            change.outcome = Outcome::notOurs;
        }
        else if (QDir().mkpath(browser.manifestFolder)) {
            // Whole or not at all: a browser that reads a half-written manifest does not start
            // the host and tells the extension nothing about why.
            QSaveFile manifest(path);
            if (manifest.open(QIODevice::WriteOnly)) {
                manifest.write(manifestFor(browser.family));
                if (manifest.commit())
                    change.outcome = Outcome::written;
            }
        }
        changes.append(change);
    }
    return changes;
}

QList<BrowserIntegration::Change> NativeMessagingHostManifests::remove()
{
    QList<Change> changes;
    for (const Browser& browser : m_browsers) {
        const QString path = manifestIn(browser.manifestFolder);
        Change change{browser.name, path, Outcome::nothingToRemove};
        switch (readManifest(path).state) {
        case HostManifest::absent:
            break;
        case HostManifest::notOurs:
            change.outcome = Outcome::notOurs;
            break;
        case HostManifest::ready:
        case HostManifest::hostMissing:
            change.outcome = QFile::remove(path) ? Outcome::removed : Outcome::failed;
            break;
        }
        changes.append(change);
    }
    return changes;
}

QList<BrowserIntegration::BrowserStatus> NativeMessagingHostManifests::status() const
{
    QList<BrowserStatus> browsers;
    for (const Browser& browser : m_browsers) {
        BrowserStatus status;
        status.name = browser.name;
        status.family = browser.family;
        status.installed = isInstalled(browser);
        if (status.installed) {
            // The browsers look in the user's folder first.
            QString path = manifestIn(browser.manifestFolder);
            ManifestReading manifest = readManifest(path);
            if (manifest.state == HostManifest::absent) {
                path = manifestIn(browser.systemManifestFolder);
                manifest = readManifest(path);
                status.manifestForAllUsers = manifest.state != HostManifest::absent;
            }
            status.hostManifest = manifest.state;
            status.hostPath = manifest.hostPath;
            if (manifest.state != HostManifest::absent)
                status.manifestPath = path;
            status.extension = browser.family == Family::chromium
                                   ? chromiumExtension(browser.profileFolder)
                                   : firefoxExtension(browser.profileFolder);
        }
        browsers.append(status);
    }
    return browsers;
}

} // namespace korvalen
