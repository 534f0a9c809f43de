#include "platform/linux/ApplicationResolver.h"

#include "support/Signal.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

namespace korvalen {

namespace {

// A cgroup file lists a few lines; anything far larger is not one.
constexpr qint64 maximumControlGroupsSize = 64 * 1024;

// Installing a package writes its files one by one: the entries are read again once the folders
// have been quiet this long.
constexpr int settleMilliseconds = 500;

// The folder itself when it exists, else the nearest one above it, in which it would appear.
QString nearestExistingFolder(QString folder)
{
    while (!QFileInfo(folder).isDir()) {
        const QString parent = QFileInfo(folder).path();
        if (parent == folder)
            break;
        folder = parent;
    }
    return folder;
}

// _KDE_NET_WM_DESKTOP_FILE names a desktop entry: most applications write its ID without the
// suffix, some with it, some as its path below an "applications" folder ("kde4/konsole.desktop",
// whose ID is "kde4-konsole") and a few as an absolute path.
QString applicationIDOfDesktopFile(const QString& desktopFile)
{
    QString relativePath = desktopFile;
    if (relativePath.startsWith(u'/')) {
        const QString folder = QStringLiteral("/applications/");
        const qsizetype below = relativePath.lastIndexOf(folder);
        relativePath = below >= 0 ? relativePath.sliced(below + folder.size())
                                  : relativePath.sliced(relativePath.lastIndexOf(u'/') + 1);
    }
    return DesktopEntry::applicationIDOf(DesktopEntry::desktopFileIDOf(relativePath));
}

// systemd escapes unit name characters as \xNN; application IDs contain "-" that way.
QString unescapedUnitName(const QString& name)
{
    QString text;
    for (qsizetype i = 0; i < name.size(); ++i) {
        bool isHex = false;
        const ushort code = i + 3 < name.size() && name.at(i) == u'\\' && name.at(i + 1) == u'x'
                                ? name.sliced(i + 2, 2).toUShort(&isHex, 16)
                                : 0;
        if (isHex) {
            text.append(QChar(code));
            i += 3;
        }
        else {
            text.append(name.at(i));
        }
    }
    return text;
}

// The application ID in the name of the unit that a launcher started an application in; empty
// for other units. Desktop environments and Flatpak follow the freedesktop naming,
// "app[-<launcher>]-<ID>-<random>.scope" or "app[-<launcher>]-<ID>[@<random>].service", with any
// "-" of the ID escaped; snapd names its scopes "snap.<snap>.<app>-<random>.scope", and its
// desktop entries "<snap>_<app>.desktop".
QString applicationIDOfUnit(const QString& unit)
{
    static const QRegularExpression snap(
        QStringLiteral("^snap\\.([^.]+)\\.([^.]+?)[-.][0-9a-f-]+\\.scope$"));
    if (const auto match = snap.match(unit); match.hasMatch())
        return match.captured(1) + u'_' + match.captured(2);
    if (!unit.startsWith(u"app-"))
        return {};
    QStringList parts;
    if (unit.endsWith(u".scope")) {
        parts = unit.chopped(6).split(u'-');
        parts.removeLast(); // the random suffix, always present
    }
    else if (unit.endsWith(u".service")) {
        parts = unit.chopped(8).section(u'@', 0, 0).split(u'-');
    }
    // "app", the launcher if any, the ID.
    if (parts.size() != 2 && parts.size() != 3)
        return {};
    return DesktopEntry::applicationIDOf(unescapedUnitName(parts.last()));
}

// The WM_CLASS parts, as written and then in lower case, as entries may be named after them.
QStringList classNames(const WindowApplicationHints& hints)
{
    QStringList names;
    for (const QString& name : {hints.wmClassInstance, hints.wmClassName,
                                hints.wmClassInstance.toLower(), hints.wmClassName.toLower()}) {
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

} // namespace

// The desktop entries of the folders as last read, and the watch on the folders that has them
// read again.
class ApplicationResolver::Entries {
public:
    explicit Entries(QStringList folders)
        : m_folders(std::move(folders))
    {
        m_settled.setSingleShot(true);
        m_settled.setInterval(settleMilliseconds);
        QObject::connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settled,
                         [this](const QString& folder) {
                             m_changedFolders.insert(folder);
                             m_settled.start();
                         });
        QObject::connect(&m_settled, &QTimer::timeout, &m_settled,
                         [this] { readAgainIfChanged(); });
    }

    const DesktopEntryIndex& index()
    {
        if (!m_index)
            read();
        return *m_index;
    }

    Subscription subscribeToChanges(std::function<void()> handler) const
    {
        return m_changed.connect(std::move(handler));
    }

private:
    void read()
    {
        m_index.emplace(m_folders);
        if (const QStringList watched = m_watcher.directories(); !watched.isEmpty())
            m_watcher.removePaths(watched);
        QStringList folders;
        for (const QString& folder : m_index->foldersRead())
            folders.append(nearestExistingFolder(folder));
        folders.removeDuplicates();
        m_watcher.addPaths(folders);
    }

    void readAgainIfChanged()
    {
        // The watch also hears of files saved beside the entries, in a folder watched for one of
        // the entries' folders to appear in it; a change in an entries folder itself always
        // counts, since time stamps too coarse to tell may show none.
        const QSet<QString> changed = std::exchange(m_changedFolders, {});
        const QStringList entryFolders = m_index->foldersRead();
        const bool entriesFolderChanged =
            std::any_of(changed.cbegin(), changed.cend(),
                        [&](const QString& folder) { return entryFolders.contains(folder); });
        if (!entriesFolderChanged && m_index->isCurrent())
            return;
        read();
        m_changed.emit();
    }

    QStringList m_folders;
    std::optional<DesktopEntryIndex> m_index;
    QFileSystemWatcher m_watcher;
    QTimer m_settled;
    QSet<QString> m_changedFolders;
    Signal<> m_changed;
};

ApplicationResolver::ApplicationResolver(QStringList applicationFolders, QString locale,
                                         QString processFolder)
    : m_locale(std::move(locale))
    , m_processFolder(std::move(processFolder))
    , m_entries(std::make_shared<Entries>(std::move(applicationFolders)))
{
}

ApplicationResolver ApplicationResolver::forCurrentUser()
{
    return ApplicationResolver(DesktopEntryIndex::applicationFolders(),
                               DesktopEntry::messagesLocale());
}

const DesktopEntryIndex& ApplicationResolver::index() const
{
    return m_entries->index();
}

Subscription ApplicationResolver::subscribeToEntryChanges(std::function<void()> handler) const
{
    return m_entries->subscribeToChanges(std::move(handler));
}

const DesktopEntry* ApplicationResolver::entryForWMClass(const WindowApplicationHints& hints) const
{
    const DesktopEntryIndex& entries = index();
    for (const QString& wmClass : {hints.wmClassInstance, hints.wmClassName}) {
        if (wmClass.isEmpty())
            continue;
        if (const DesktopEntry* entry = entries.entryForStartupWMClass(wmClass))
            return entry;
    }
    for (const QString& name : classNames(hints)) {
        if (const DesktopEntry* entry = entries.entryForApplicationID(name))
            return entry;
    }
    for (const QString& wmClass : {hints.wmClassInstance, hints.wmClassName}) {
        if (!hints.classCaseLost || wmClass.isEmpty())
            continue;
        if (const DesktopEntry* entry = entries.entryForStartupWMClassInAnyCase(wmClass))
            return entry;
    }
    return nullptr;
}

const DesktopEntry* ApplicationResolver::entryForProgram(const WindowApplicationHints& hints) const
{
    // Programs often name their windows after themselves, in any case.
    for (const QString& name : classNames(hints)) {
        if (const DesktopEntry* entry = index().entryForProgram(name))
            return entry;
    }
    return nullptr;
}

const DesktopEntry* ApplicationResolver::entryForProcess(qint64 processID) const
{
    if (processID <= 0)
        return nullptr;
    QFile file(m_processFolder + u'/' + QString::number(processID) + QStringLiteral("/cgroup"));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    // Each line is "hierarchy:controllers:path"; the unit of the launch is one step of the path,
    // the same in every hierarchy.
    const QStringList lines = QString::fromUtf8(file.read(maximumControlGroupsSize)).split(u'\n');
    for (const QString& line : lines) {
        const QStringList units = line.section(u':', 2).split(u'/', Qt::SkipEmptyParts);
        for (auto unit = units.crbegin(); unit != units.crend(); ++unit) {
            const QString applicationID = applicationIDOfUnit(*unit);
            if (applicationID.isEmpty())
                continue;
            if (const DesktopEntry* entry = index().entryForApplicationID(applicationID))
                return entry;
        }
    }
    return nullptr;
}

RunningApplication
ApplicationResolver::applicationForWindow(const WindowApplicationHints& hints) const
{
    // A window without a class (rare, and against the window manager conventions) may still
    // have an instance name; either one names the application better than nothing.
    const QString& wmClass =
        hints.wmClassName.isEmpty() ? hints.wmClassInstance : hints.wmClassName;

    std::optional<QString> applicationID;
    if (!hints.gtkApplicationID.isEmpty())
        applicationID = hints.gtkApplicationID;
    else if (const QString id = applicationIDOfDesktopFile(hints.desktopFile); !id.isEmpty())
        applicationID = id;

    const DesktopEntry* entry =
        applicationID ? index().entryForApplicationID(*applicationID) : entryForWMClass(hints);
    // Where the window names no entry, the launcher's record of the process may, or else the
    // program behind the window; a toolkit's own identifier stands against a mere program name.
    if (!entry)
        entry = entryForProcess(hints.processID);
    if (!entry && !applicationID)
        entry = entryForProgram(hints);
    if (entry)
        applicationID = entry->applicationID();
    else if (!applicationID && !wmClass.isEmpty())
        applicationID = wmClass;

    RunningApplication application;
    application.bundleID = applicationID;
    if (entry) {
        application.localizedName =
            entry->localizedValue(QStringLiteral("Name"), m_locale).value_or(QString());
        application.bundlePath = entry->path();
    }
    if (application.localizedName.isEmpty())
        application.localizedName = wmClass.isEmpty() ? applicationID.value_or(QString()) : wmClass;
    return application;
}

std::optional<QString> ApplicationResolver::pathForApplication(const QString& applicationID) const
{
    if (const DesktopEntry* entry = index().entryForApplicationID(applicationID))
        return entry->path();
    return std::nullopt;
}

std::optional<QString> ApplicationResolver::iconNameOfEntryAt(const QString& entryPath)
{
    // Only a regular file: opening a named pipe or a device would block or never end.
    const QFileInfo file(entryPath);
    if (!file.isFile())
        return std::nullopt;
    const auto entry = DesktopEntry::read(entryPath, file.fileName());
    if (!entry)
        return std::nullopt;
    auto name = entry->localizedValue(QStringLiteral("Icon"), DesktopEntry::messagesLocale());
    if (name && name->isEmpty())
        return std::nullopt;
    return name;
}

} // namespace korvalen
