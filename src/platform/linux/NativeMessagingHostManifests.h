#pragma once

#include "platform/BrowserIntegration.h"

#include <QStringList>

#include <memory>

namespace korvalen {

// The browsers' native messaging host manifests of the current user: a JSON file per host,
// named after it, in a folder of each browser's own, that gives the host program's absolute
// path and the extensions allowed to start it.
class NativeMessagingHostManifests final : public BrowserIntegration {
public:
    // Where one browser keeps what Korvalen writes and reads.
    struct Browser {
        QString name;
        Family family = Family::chromium;
        // The browser's folder in the home folder, made when the user first runs it; Chromium's
        // holds the profiles, Firefox's a folder per profile.
        QString profileFolder;
        QString manifestFolder;
        // Where the browser reads manifests for every user, which Korvalen only reads.
        QString systemManifestFolder;
        QStringList programs; // its program names, as found on PATH
    };

    // Chromium, Google Chrome and Firefox, with the folders the browsers use: the first two in
    // `configHome` ($XDG_CONFIG_HOME), Firefox in `home`, and their folders for all users under
    // `systemRoot` ("" for the real ones).
    static QList<Browser> standardBrowsers(const QString& home, const QString& configHome,
                                           const QString& systemRoot = {});

    // The current user's browsers and the host and extension installed with the program in
    // `programFolder`, or those of its build tree.
    static std::unique_ptr<NativeMessagingHostManifests>
    forCurrentUser(const QString& programFolder);

    // A browser counts as installed when its profile folder exists or one of its programs is in
    // `programSearchPath` (empty: $PATH).
    NativeMessagingHostManifests(QList<Browser> browsers, QStringList programSearchPath,
                                 QString hostProgram, QString extensionFolder,
                                 QString firefoxExtensionPackage);

    QString hostProgram() const override { return m_hostProgram; }
    QString extensionFolder() const override { return m_extensionFolder; }
    QString firefoxExtensionPackage() const override { return m_firefoxExtensionPackage; }

    QList<Change> install() override;
    QList<Change> remove() override;
    QList<BrowserStatus> status() const override;

private:
    bool isInstalled(const Browser& browser) const;
    QByteArray manifestFor(Family family) const;

    QList<Browser> m_browsers;
    QStringList m_programSearchPath;
    QString m_hostProgram;
    QString m_extensionFolder;
    QString m_firefoxExtensionPackage;
};

} // namespace korvalen
