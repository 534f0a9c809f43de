#pragma once

#include <QList>
#include <QString>

namespace korvalen {

// What lets Korvalen's browser extension reach Korvalen: the browsers have to be told which
// program to start when the extension asks for its native messaging host. Registers that
// program with the current user's browsers, takes it back, and tells where each browser stands.
class BrowserIntegration {
public:
    // Which extension system a browser has, and so which copy of the extension it takes.
    enum class Family { chromium, firefox };

    enum class HostManifest {
        absent,
        ready,       // Korvalen's, naming a host program that exists
        hostMissing, // Korvalen's, but its host program is gone
        notOurs,     // a file of the same name that Korvalen did not write
    };

    // Whether the extension is in the browser's profile. Unknown where the profile cannot be
    // read cheaply, or the browser has not made one yet.
    enum class Extension { added, notAdded, unknown };

    struct BrowserStatus {
        QString name;
        Family family = Family::chromium;
        bool installed = false;
        HostManifest hostManifest = HostManifest::absent;
        // The manifest the browser reads (the user's own before the one for all users), and the
        // host program it names; empty when there is none.
        QString manifestPath;
        QString hostPath;
        bool manifestForAllUsers = false;
        Extension extension = Extension::unknown;
    };

    enum class Outcome { written, removed, notInstalled, nothingToRemove, notOurs, failed };

    struct Change {
        QString browser;
        QString manifestPath;
        Outcome outcome = Outcome::failed;
    };

    BrowserIntegration() = default;
    BrowserIntegration(const BrowserIntegration&) = delete;
    BrowserIntegration& operator=(const BrowserIntegration&) = delete;
    virtual ~BrowserIntegration() = default;

    // The native messaging host program that install() registers, whether or not it exists.
    virtual QString hostProgram() const = 0;
    // The extension as a browser loads it unpacked, and as a package for Firefox (empty when
    // none is installed).
    virtual QString extensionFolder() const = 0;
    virtual QString firefoxExtensionPackage() const = 0;

    // For each installed browser, registers hostProgram(), replacing an earlier registration of
    // Korvalen's but never a file Korvalen did not write.
    virtual QList<Change> install() = 0;
    // Takes back the current user's registrations, and only those that are Korvalen's.
    virtual QList<Change> remove() = 0;
    virtual QList<BrowserStatus> status() const = 0;
};

} // namespace korvalen
