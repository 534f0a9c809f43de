#include "app/BrowserIntegrationCommand.h"

#include <QFileInfo>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

using Outcome = BrowserIntegration::Outcome;
using HostManifest = BrowserIntegration::HostManifest;
using Extension = BrowserIntegration::Extension;

const QString installCommand = u"korvalen --browser-integration install"_s;

int install(BrowserIntegration& integration, QTextStream& output, QTextStream& errors)
{
    const QFileInfo host(integration.hostProgram());
    if (!host.isFile() || !host.isExecutable()) {
        errors << "Nothing was installed: the native messaging host " << host.filePath()
               << " is missing. It belongs beside korvalen; build the korvalen-browser-host "
                  "target, or install Korvalen again."
               << Qt::endl;
        return 1;
    }
    int failures = 0;
    QStringList skipped;
    const QList<BrowserIntegration::Change> changes = integration.install();
    for (const auto& change : changes) {
        switch (change.outcome) {
        case Outcome::written:
            output << change.browser << ": wrote " << change.manifestPath << Qt::endl;
            break;
        case Outcome::notInstalled:
            output << change.browser << ": not installed, skipped" << Qt::endl;
            skipped.append(change.browser);
            break;
        case Outcome::notOurs:
            errors << change.browser << ": left " << change.manifestPath
                   << " alone: it is not Korvalen's. Move it away and run " << installCommand
                   << " again." << Qt::endl;
            ++failures;
            break;
        case Outcome::removed:
        case Outcome::nothingToRemove:
        case Outcome::failed:
            errors << change.browser << ": could not write " << change.manifestPath << Qt::endl;
            ++failures;
            break;
        }
    }
    if (skipped.size() == changes.size()) {
        errors << "Found none of " << skipped.join(u", "_s)
               << " (neither its folder in your home folder nor its program on PATH), so "
                  "nothing was installed."
               << Qt::endl;
        return 1;
    }
    if (failures > 0)
        return 1;
    output << "The browsers now start " << host.filePath()
           << " for Korvalen's extension. If you have not added the extension yet, "
              "`korvalen --browser-integration status` tells how."
           << Qt::endl;
    return 0;
}

int remove(BrowserIntegration& integration, QTextStream& output, QTextStream& errors)
{
    int failures = 0;
    for (const auto& change : integration.remove()) {
        switch (change.outcome) {
        case Outcome::removed:
            output << change.browser << ": removed " << change.manifestPath << Qt::endl;
            break;
        case Outcome::notOurs:
            output << change.browser << ": left " << change.manifestPath
                   << " alone: it is not Korvalen's" << Qt::endl;
            break;
        case Outcome::nothingToRemove:
        case Outcome::notInstalled:
            output << change.browser << ": nothing to remove" << Qt::endl;
            break;
        case Outcome::written:
        case Outcome::failed:
            errors << change.browser << ": could not remove " << change.manifestPath << Qt::endl;
            ++failures;
            break;
        }
    }
    return failures > 0 ? 1 : 0;
}

QString hostManifestState(const BrowserIntegration::BrowserStatus& browser)
{
    switch (browser.hostManifest) {
    case HostManifest::absent:
        return u"no host manifest"_s;
    case HostManifest::ready:
        return u"host manifest "_s + browser.manifestPath + u" starts "_s + browser.hostPath +
               (browser.manifestForAllUsers ? u" (for all users)"_s : QString());
    case HostManifest::hostMissing:
        return u"host manifest "_s + browser.manifestPath + u" names "_s + browser.hostPath +
               u", which does not exist"_s;
    case HostManifest::notOurs:
        return browser.manifestPath + u" is not Korvalen's host manifest"_s;
    }
    return {};
}

QString extensionState(const BrowserIntegration::BrowserStatus& browser)
{
    switch (browser.extension) {
    case Extension::added:
        return u"extension added"_s;
    case Extension::notAdded:
        return browser.family == BrowserIntegration::Family::chromium
                   ? u"extension not in the default profile"_s
                   : u"extension not in any profile"_s;
    case Extension::unknown:
        return u"extension unknown"_s;
    }
    return {};
}

QString howToAddExtension(const BrowserIntegration& integration, BrowserIntegration::Family family)
{
    if (family == BrowserIntegration::Family::chromium)
        return u"in chrome://extensions turn on Developer mode, click Load unpacked and choose "_s +
               integration.extensionFolder();
    // Release Firefox refuses unsigned extensions for good; a temporary one lasts until it quits.
    const QString temporary = u"about:debugging, This Firefox, Load Temporary Add-on, choose "_s +
                              integration.extensionFolder() +
                              u"/manifest.json (it stays until Firefox quits)"_s;
    if (integration.firefoxExtensionPackage().isEmpty())
        return temporary;
    return u"in Firefox ESR, Developer Edition or Nightly set xpinstall.signatures.required to "
           "false in about:config, then open "_s +
           integration.firefoxExtensionPackage() +
           u"; release Firefox takes only extensions signed by Mozilla, but loads one from "_s +
           temporary;
}

QString nextStep(const BrowserIntegration& integration,
                 const BrowserIntegration::BrowserStatus& browser)
{
    switch (browser.hostManifest) {
    case HostManifest::absent:
    case HostManifest::hostMissing:
        return u"Next: run "_s + installCommand + u'.';
    case HostManifest::notOurs:
        return u"Next: move "_s + browser.manifestPath + u" away, then run "_s + installCommand +
               u'.';
    case HostManifest::ready:
        break;
    }
    switch (browser.extension) {
    case Extension::added:
        return u"Ready."_s;
    case Extension::notAdded:
        return u"Next: "_s + howToAddExtension(integration, browser.family) + u'.';
    case Extension::unknown:
        return u"Next, unless you have added the extension: "_s +
               howToAddExtension(integration, browser.family) + u'.';
    }
    return {};
}

int status(BrowserIntegration& integration, QTextStream& output)
{
    for (const auto& browser : integration.status()) {
        if (!browser.installed)
            output << browser.name << ": not installed." << Qt::endl;
        else
            output << browser.name << ": " << hostManifestState(browser) << "; "
                   << extensionState(browser) << ". " << nextStep(integration, browser) << Qt::endl;
    }
    return 0;
}

} // namespace

int BrowserIntegrationCommand::carryOut(CommandLine::Request request,
                                        BrowserIntegration* integration, QTextStream& output,
                                        QTextStream& errors)
{
    if (!integration) {
        errors << "Korvalen has no browser integration on this system yet." << Qt::endl;
        return 1;
    }
    switch (request) {
    case CommandLine::Request::browserIntegrationInstall:
        return install(*integration, output, errors);
    case CommandLine::Request::browserIntegrationRemove:
        return remove(*integration, output, errors);
    case CommandLine::Request::browserIntegrationStatus:
        return status(*integration, output);
    default:
        return 1;
    }
}

} // namespace korvalen
