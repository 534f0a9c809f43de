#include "platform/linux/ApplicationResolver.h"

namespace korvalen {

namespace {

// _KDE_NET_WM_DESKTOP_FILE names a desktop entry; most applications write its ID without the
// suffix, some with it, a few as a path.
QString applicationIDOfDesktopFile(const QString& desktopFile)
{
    return DesktopEntry::applicationIDOf(desktopFile.sliced(desktopFile.lastIndexOf(u'/') + 1));
}

} // namespace

ApplicationResolver::ApplicationResolver(QStringList applicationFolders, QString locale)
    : m_applicationFolders(std::move(applicationFolders))
    , m_locale(std::move(locale))
{
}

ApplicationResolver ApplicationResolver::forCurrentUser()
{
    return ApplicationResolver(DesktopEntryIndex::applicationFolders(),
                               DesktopEntry::messagesLocale());
}

const DesktopEntryIndex& ApplicationResolver::index() const
{
    if (!m_index || !m_index->isCurrent())
        m_index.emplace(m_applicationFolders);
    return *m_index;
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
    for (const QString& name : {hints.wmClassInstance, hints.wmClassName,
                                hints.wmClassInstance.toLower(), hints.wmClassName.toLower()}) {
        if (name.isEmpty())
            continue;
        if (const DesktopEntry* entry = entries.entryForApplicationID(name))
            return entry;
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
    else if (const QString id = applicationIDOfDesktopFile(hints.kdeDesktopFile); !id.isEmpty())
        applicationID = id;

    const DesktopEntry* entry = nullptr;
    if (applicationID) {
        entry = index().entryForApplicationID(*applicationID);
    }
    else if ((entry = entryForWMClass(hints))) {
        applicationID = entry->applicationID();
    }
    else if (!wmClass.isEmpty()) {
        applicationID = wmClass;
    }

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

} // namespace korvalen
