#include "platform/linux/GnomeShellExtensionInstaller.h"

#include "platform/linux/GnomeExtensionCalls.h"
#include "platform/linux/GnomeExtensionSettings.h"
#include "platform/linux/GnomeVersion.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <map>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

using Outcome = DesktopShellExtension::Outcome;
using Setting = DesktopShellExtension::Setting;
using ShellState = DesktopShellExtension::ShellState;
using TakesEffect = DesktopShellExtension::TakesEffect;

const QString& uuid = GnomeShellExtension::uuid;

// An extension is told by its metadata, which names it: the Shell loads a folder only when the
// two agree, so a folder of Korvalen's name that names another extension is someone else's.
bool isOurs(const QString& folder)
{
    QFile metadata(folder + u"/metadata.json"_s);
    if (!metadata.open(QIODevice::ReadOnly))
        return false;
    return QJsonDocument::fromJson(metadata.readAll()).object().value(u"uuid"_s).toString() == uuid;
}

using Files = std::map<QString, QByteArray>;

// By path relative to the folder; the extension's files are a few kilobytes.
Files filesIn(const QString& folder)
{
    Files files;
    const QDir root(folder);
    QDirIterator entries(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        QFile file(entries.next());
        files[root.relativeFilePath(file.fileName())] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return files;
}

bool copyFiles(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    const QDir source(from);
    QDirIterator entries(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString target = to + u'/' + source.relativeFilePath(entry.filePath());
        if (!(entry.isDir() ? QDir().mkpath(target) : QFile::copy(entry.filePath(), target)))
            return false;
    }
    return true;
}

bool isPresent(const QFileInfo& entry)
{
    return entry.exists() || entry.isSymLink();
}

// A folder beside the extensions folder, on the same file system, where a copy is made whole
// before it is renamed into place, and where a copy taken away waits to be deleted. The Shell
// never looks there. Deleted with all it holds when it goes out of scope.
class Workbench {
public:
    explicit Workbench(const QString& extensionsFolder)
        : m_folder(QFileInfo(extensionsFolder).path() + u"/.korvalen-XXXXXX"_s)
    {
    }

    bool isValid() const { return m_folder.isValid(); }
    QString newCopy() const { return m_folder.filePath(u"new"_s); }

    // A link is moved, not followed: deleting what it points to would delete someone's files.
    bool takeAway(const QString& folder) const
    {
        return QDir().rename(folder, m_folder.filePath(u"earlier"_s));
    }
    bool putBack(const QString& folder) const
    {
        return QDir().rename(m_folder.filePath(u"earlier"_s), folder);
    }

private:
    QTemporaryDir m_folder;
};

// Whole or not at all: the Shell reads the folder when it starts, and a half-copied extension
// fails to load without a word to the user.
std::optional<QString> putInPlace(const QString& source, const QString& folder)
{
    const QString extensionsFolder = QFileInfo(folder).path();
    if (!QDir().mkpath(extensionsFolder))
        return u"could not make "_s + extensionsFolder;
    const Workbench bench(extensionsFolder);
    if (!bench.isValid())
        return u"could not make a folder beside "_s + extensionsFolder;
    if (!copyFiles(source, bench.newCopy()))
        return u"could not copy "_s + source;
    const bool hadCopy = isPresent(QFileInfo(folder));
    if (hadCopy && !bench.takeAway(folder))
        return u"could not move the earlier copy away"_s;
    if (QDir().rename(bench.newCopy(), folder))
        return std::nullopt;
    if (hadCopy)
        bench.putBack(folder);
    return u"could not move the new copy into place"_s;
}

ShellState stateFor(int code)
{
    switch (code) {
    case GnomeExtensionCalls::enabled:
        return ShellState::enabled;
    case GnomeExtensionCalls::disabled:
        return ShellState::disabled;
    case GnomeExtensionCalls::error:
        return ShellState::error;
    case GnomeExtensionCalls::outOfDate:
        return ShellState::outOfDate;
    case GnomeExtensionCalls::initialized:
        return ShellState::initialized;
    default:
        return ShellState::other;
    }
}

} // namespace

std::unique_ptr<GnomeShellExtensionInstaller>
GnomeShellExtensionInstaller::forCurrentUser(const QString& programFolder,
                                             DesktopSession::Kind session)
{
    const QString installed = QDir::cleanPath(
        QDir(programFolder).filePath(QStringLiteral(KORVALEN_INSTALLED_DATA "/gnome-shell")));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QStringList systemFolders;
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        if (folder != data)
            systemFolders.append(folder + u"/gnome-shell/extensions"_s);
    }
    return std::make_unique<GnomeShellExtensionInstaller>(
        Places{data + u"/gnome-shell/extensions"_s, systemFolders,
               QFileInfo(installed).isDir() ? installed
                                            : QStringLiteral(KORVALEN_SOURCE_GNOME_SHELL_EXTENSION),
               u"gnome-shell"_s},
        session, QDBusConnection::sessionBus());
}

GnomeShellExtensionInstaller::GnomeShellExtensionInstaller(Places places,
                                                           DesktopSession::Kind session,
                                                           QDBusConnection bus)
    : m_places(std::move(places))
    , m_session(session)
    , m_bus(bus)
    , m_extension(std::move(bus))
{
}

GnomeShellExtensionInstaller::~GnomeShellExtensionInstaller() = default;

bool GnomeShellExtensionInstaller::isNeeded() const
{
    return m_session == DesktopSession::Kind::gnomeX11 ||
           m_session == DesktopSession::Kind::gnomeWayland;
}

Subscription
GnomeShellExtensionInstaller::subscribeToRunningChanges(std::function<void()> handler) const
{
    return m_extension.subscribeToRunningChanges(std::move(handler));
}

QString GnomeShellExtensionInstaller::userCopy() const
{
    return m_places.userFolder + u'/' + uuid;
}

QStringList GnomeShellExtensionInstaller::systemCopies() const
{
    QStringList copies;
    for (const QString& folder : m_places.systemFolders) {
        if (isOurs(folder + u'/' + uuid))
            copies.append(folder + u'/' + uuid);
    }
    return copies;
}

std::optional<GnomeVersion>
GnomeShellExtensionInstaller::shellVersion(GnomeExtensionCalls& shell) const
{
    if (auto running = GnomeVersion::fromText(shell.shellVersion()))
        return running;
    return GnomeVersion::ofProgram(m_places.shellProgram);
}

// On X11 the Shell restarts in place; on Wayland it is the display server, and the session ends
// with it. Without a Shell in this session, the next one loads it.
TakesEffect GnomeShellExtensionInstaller::afterRestart(const GnomeExtensionCalls& shell) const
{
    return m_session == DesktopSession::Kind::gnomeX11 && shell.isShellRunning()
               ? TakesEffect::afterShellRestart
               : TakesEffect::afterLogin;
}

DesktopShellExtension::Change GnomeShellExtensionInstaller::install()
{
    GnomeExtensionCalls shell(m_bus);
    Change change;
    change.folder = userCopy();
    change.systemCopies = systemCopies();
    const std::optional<GnomeVersion> version = shellVersion(shell);
    if (!version) {
        change.outcome = Outcome::unknownShell;
        return change;
    }
    change.shellVersion = version->text();
    if (version->flavour().isEmpty()) {
        change.outcome = Outcome::unsupportedShell;
        return change;
    }
    const QString source = m_places.flavours + u'/' + version->flavour();
    if (!isOurs(source)) {
        change.outcome = Outcome::filesMissing;
        change.reason = source;
        return change;
    }
    const bool hadCopy = isPresent(QFileInfo(change.folder));
    if (hadCopy && !isOurs(change.folder)) {
        change.outcome = Outcome::notOurs;
        return change;
    }
    const bool unchanged = hadCopy && filesIn(source) == filesIn(change.folder);
    change.replacedEarlierCopy = hadCopy && !unchanged;
    if (!unchanged) {
        if (const auto failure = putInPlace(source, change.folder)) {
            change.outcome = Outcome::failed;
            change.reason = *failure;
            return change;
        }
    }
    change.outcome = Outcome::installed;

    GnomeExtensionSettings settings;
    if (settings.isAvailable()) {
        change.setting = settings.setEnabled(uuid, true) ? Setting::enabled : Setting::refused;
        change.userExtensionsOff = settings.areUserExtensionsOff();
    }
    // The Shell runs the copy it loaded when it started: only an unchanged one is running now.
    const bool enabledByShell = shell.enable(uuid).value_or(false);
    change.takesEffect = enabledByShell && unchanged ? TakesEffect::now : afterRestart(shell);
    return change;
}

DesktopShellExtension::Change GnomeShellExtensionInstaller::remove()
{
    GnomeExtensionCalls shell(m_bus);
    Change change;
    change.folder = userCopy();
    change.systemCopies = systemCopies();
    GnomeExtensionSettings settings;
    if (settings.isAvailable())
        change.setting = settings.setEnabled(uuid, false) ? Setting::notEnabled : Setting::refused;
    change.takesEffect =
        shell.disable(uuid).value_or(false) ? TakesEffect::now : afterRestart(shell);

    if (!isPresent(QFileInfo(change.folder))) {
        change.outcome = Outcome::nothingToRemove;
    }
    else if (!isOurs(change.folder)) {
        change.outcome = Outcome::notOurs;
    }
    else {
        const Workbench bench(m_places.userFolder);
        change.outcome =
            bench.isValid() && bench.takeAway(change.folder) ? Outcome::removed : Outcome::failed;
    }
    return change;
}

DesktopShellExtension::Status GnomeShellExtensionInstaller::status() const
{
    GnomeExtensionCalls shell(m_bus);
    Status status;
    status.shellRunning = shell.isShellRunning();
    if (const auto version = shellVersion(shell)) {
        status.shellVersion = version->text();
        status.flavour = version->flavour();
    }
    if (isPresent(QFileInfo(userCopy()))) {
        status.userCopy = userCopy();
        status.userCopyIsOurs = isOurs(userCopy());
    }
    status.systemCopies = systemCopies();
    const GnomeExtensionSettings settings;
    if (settings.isAvailable()) {
        status.setting = settings.isEnabled(uuid) ? Setting::enabled : Setting::notEnabled;
        status.userExtensionsOff = settings.areUserExtensionsOff();
    }
    status.running = isRunning();
    status.shellRestartsInPlace = afterRestart(shell) == TakesEffect::afterShellRestart;
    if (const auto info = shell.info(uuid)) {
        status.shellState = info->state ? stateFor(*info->state) : ShellState::unknown;
        status.shellStateCode = info->state.value_or(0);
        status.shellError = info->error;
    }
    return status;
}

} // namespace korvalen
