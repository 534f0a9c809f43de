#include "app/GnomeExtensionCommand.h"

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

namespace {

using Outcome = DesktopShellExtension::Outcome;
using Setting = DesktopShellExtension::Setting;
using ShellState = DesktopShellExtension::ShellState;
using TakesEffect = DesktopShellExtension::TakesEffect;

const QString installCommand = u"korvalen --gnome-extension install"_s;
const QString settingsKey = u"org.gnome.shell enabled-extensions"_s;
const QString turnOnUserExtensions =
    u"turn on Extensions in the Extensions app, or run "
    "`gsettings set org.gnome.shell disable-user-extensions false`"_s;

QString restartStep(TakesEffect takesEffect)
{
    if (takesEffect == TakesEffect::afterShellRestart)
        return u"Next: restart GNOME Shell to load it (Alt+F2, type r, press Return), or log out "
               "and back in."_s;
    return u"Next: log out and back in; GNOME Shell loads new extensions only when it starts."_s;
}

// Why nothing was installed; empty when something was.
QString refusal(const DesktopShellExtension::Change& change)
{
    switch (change.outcome) {
    case Outcome::unknownShell:
        return u"no GNOME Shell answers on the session bus and `gnome-shell --version` tells no "
               "version, so Korvalen cannot tell which copy of its extension fits. Run this in "
               "your GNOME session."_s;
    case Outcome::unsupportedShell:
        return u"GNOME Shell "_s + change.shellVersion +
               u" is older than Korvalen's extension supports (43 and later)."_s;
    case Outcome::filesMissing:
        return u"the extension for GNOME Shell "_s + change.shellVersion + u" is missing from "_s +
               change.reason + u". Install Korvalen again."_s;
    case Outcome::notOurs:
        return change.folder +
               u" is not Korvalen's: its metadata.json names another extension. "
               "Move it away and run "_s +
               installCommand + u" again."_s;
    case Outcome::failed:
        return u"could not write "_s + change.folder + u": "_s + change.reason + u'.';
    case Outcome::installed:
    case Outcome::removed:
    case Outcome::nothingToRemove:
        break;
    }
    return {};
}

// `done` says what the change did; `absent` what could not be done without GNOME's settings.
bool reportSetting(Setting setting, const QString& done, const QString& absent, QTextStream& output,
                   QTextStream& errors)
{
    switch (setting) {
    case Setting::noSettings:
        output << "GNOME is not installed here (no org.gnome.shell settings schema), so " << absent
               << Qt::endl;
        return true;
    case Setting::refused:
        errors << "GNOME's settings did not take the change (" << settingsKey
               << "): is the key locked, or is no settings daemon (dconf) running?" << Qt::endl;
        return false;
    case Setting::enabled:
    case Setting::notEnabled:
        output << done << " (" << settingsKey << ")." << Qt::endl;
        return true;
    }
    return true;
}

int install(DesktopShellExtension& extension, QTextStream& output, QTextStream& errors)
{
    const DesktopShellExtension::Change change = extension.install();
    if (const QString reason = refusal(change); !reason.isEmpty()) {
        errors << "Nothing was installed: " << reason << Qt::endl;
        return 1;
    }
    output << "GNOME Shell " << change.shellVersion << ": installed Korvalen's extension in "
           << change.folder << (change.replacedEarlierCopy ? ", replacing the earlier copy." : ".")
           << Qt::endl;
    if (!reportSetting(change.setting, u"Enabled it in GNOME's settings"_s,
                       u"it was not enabled; the files are in place for when GNOME is."_s, output,
                       errors))
        return 1;
    if (change.setting == Setting::noSettings)
        return 0;
    if (change.userExtensionsOff)
        output << "GNOME Shell is set to leave your extensions off: " << turnOnUserExtensions << '.'
               << Qt::endl;
    if (change.takesEffect == TakesEffect::now)
        output << "GNOME Shell runs it now." << Qt::endl;
    else
        output << restartStep(change.takesEffect) << Qt::endl;
    return 0;
}

int remove(DesktopShellExtension& extension, QTextStream& output, QTextStream& errors)
{
    const DesktopShellExtension::Change change = extension.remove();
    bool failed = !reportSetting(change.setting, u"Took it off GNOME's enabled extensions"_s,
                                 u"there was nothing to disable."_s, output, errors);
    // The Shell turns off only an extension it runs; one it does not know was not running.
    if (change.takesEffect == TakesEffect::now)
        output << "GNOME Shell has turned it off." << Qt::endl;
    switch (change.outcome) {
    case Outcome::removed:
        output << "Removed " << change.folder << '.' << Qt::endl;
        break;
    case Outcome::notOurs:
        output << "Left " << change.folder << " alone: it is not Korvalen's." << Qt::endl;
        break;
    case Outcome::nothingToRemove:
        output << "There was no copy in " << change.folder << '.' << Qt::endl;
        break;
    default:
        errors << "Could not remove " << change.folder << '.' << Qt::endl;
        failed = true;
        break;
    }
    for (const QString& copy : change.systemCopies)
        output << "The copy for all users in " << copy
               << " stays: it belongs to the package that installed it." << Qt::endl;
    return failed ? 1 : 0;
}

QString shellLine(const DesktopShellExtension::Status& status)
{
    if (status.shellVersion.isEmpty())
        return status.shellRunning ? u"running, version unknown"_s : u"not found"_s;
    return status.shellVersion +
           (status.shellRunning ? u", running"_s : u", installed but not running here"_s);
}

QString settingLine(const DesktopShellExtension::Status& status)
{
    QString line;
    switch (status.setting) {
    case Setting::noSettings:
        return u"not installed (no org.gnome.shell settings schema)"_s;
    case Setting::enabled:
        line = u"enabled"_s;
        break;
    case Setting::notEnabled:
    case Setting::refused:
        line = u"not enabled"_s;
        break;
    }
    return status.userExtensionsOff ? line + u", but your extensions are turned off"_s : line;
}

QString shellStateLine(const DesktopShellExtension::Status& status)
{
    switch (status.shellState) {
    case ShellState::notAsked:
        return {};
    case ShellState::unknown:
        return u"not loaded: it was not there when GNOME Shell started"_s;
    case ShellState::enabled:
        return u"enabled"_s;
    case ShellState::disabled:
        return u"disabled"_s;
    case ShellState::error:
        return u"error: "_s + status.shellError;
    case ShellState::outOfDate:
        return u"out of date: the copy is for other versions of GNOME Shell"_s;
    case ShellState::initialized:
        return u"loaded, not enabled"_s;
    case ShellState::other:
        break;
    }
    return u"state "_s + QString::number(status.shellStateCode);
}

QString nextStep(const DesktopShellExtension::Status& status)
{
    if (status.running)
        return u"Ready."_s;
    if (status.shellVersion.isEmpty())
        return u"Nothing to do unless you use GNOME: no GNOME Shell was found."_s;
    if (status.flavour.isEmpty())
        return u"None: Korvalen's extension needs GNOME Shell 43 or later."_s;
    if (!status.userCopy.isEmpty() && !status.userCopyIsOurs)
        return u"Next: move "_s + status.userCopy + u" away, then run "_s + installCommand + u'.';
    if (status.userCopy.isEmpty() && status.systemCopies.isEmpty())
        return u"Next: run "_s + installCommand + u", then log out and back in."_s;
    if (status.setting == Setting::noSettings)
        return u"Nothing can enable it here: GNOME's settings schema is not installed."_s;
    if (status.setting != Setting::enabled)
        return u"Next: run "_s + installCommand + u" to enable it."_s;
    if (status.userExtensionsOff)
        return u"Next: "_s + turnOnUserExtensions + u'.';
    if (status.shellState == ShellState::error || status.shellState == ShellState::outOfDate)
        return u"Next: run "_s + installCommand +
               u" again for this GNOME Shell, then log out "
               "and back in."_s;
    return restartStep(status.shellRestartsInPlace ? TakesEffect::afterShellRestart
                                                   : TakesEffect::afterLogin);
}

int status(const DesktopShellExtension& extension, QTextStream& output)
{
    const DesktopShellExtension::Status status = extension.status();
    output << "GNOME Shell: " << shellLine(status) << Qt::endl;
    output << "Your copy: "
           << (status.userCopy.isEmpty() ? u"none"_s
               : status.userCopyIsOurs   ? status.userCopy
                                         : status.userCopy + u", which is not Korvalen's"_s)
           << Qt::endl;
    if (!status.systemCopies.isEmpty())
        output << "For all users: " << status.systemCopies.join(u", "_s) << Qt::endl;
    output << "GNOME's settings: " << settingLine(status) << Qt::endl;
    if (const QString state = shellStateLine(status); !state.isEmpty())
        output << "GNOME Shell reports: " << state << Qt::endl;
    output << "Running now: " << (status.running ? "yes" : "no") << Qt::endl;
    output << nextStep(status) << Qt::endl;
    return 0;
}

} // namespace

int GnomeExtensionCommand::carryOut(CommandLine::Request request, DesktopShellExtension* extension,
                                    QTextStream& output, QTextStream& errors)
{
    if (!extension) {
        errors << "There is no GNOME Shell extension of Korvalen's on this system." << Qt::endl;
        return 1;
    }
    switch (request) {
    case CommandLine::Request::gnomeExtensionInstall:
        return install(*extension, output, errors);
    case CommandLine::Request::gnomeExtensionRemove:
        return remove(*extension, output, errors);
    case CommandLine::Request::gnomeExtensionStatus:
        return status(*extension, output);
    default:
        return 1;
    }
}

} // namespace korvalen
