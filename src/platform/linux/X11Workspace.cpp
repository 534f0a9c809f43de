#include "platform/linux/X11Workspace.h"

#include <QFileInfo>
#include <QHash>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace korvalen {

X11Workspace::X11Workspace()
    : X11Workspace(QByteArray(), ApplicationResolver::forCurrentUser())
{
}

X11Workspace::X11Workspace(const QByteArray& displayName, ApplicationResolver resolver)
    : m_connection(std::make_unique<X11Connection>(displayName))
    , m_resolver(std::move(resolver))
{
    const auto atoms = m_connection->internAtoms({
        "_NET_ACTIVE_WINDOW",
        "_NET_CLIENT_LIST",
        "_GTK_APPLICATION_ID",
        "_KDE_NET_WM_DESKTOP_FILE",
        "_NET_WM_WINDOW_TYPE",
        "_NET_WM_WINDOW_TYPE_DESKTOP",
        "_NET_WM_WINDOW_TYPE_DOCK",
        "_NET_WM_STATE",
        "_NET_WM_STATE_SKIP_TASKBAR",
    });
    m_atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4],
               atoms[5], atoms[6], atoms[7], atoms[8]};
    // Watching before the first read: a change in between is then noticed, not lost.
    m_connection->selectRootPropertyChanges();
    m_activeWindowChanges =
        m_connection->subscribeToEvents([this](const std::vector<XEvent>& events) {
            if (m_connection->rootPropertyChanged(events, m_atoms.activeWindow))
                updateFrontmostApplication();
        });
    // Without a server there is no active window.
    m_connectionLoss =
        m_connection->subscribeToConnectionLoss([this] { updateFrontmostApplication(); });
    m_frontmost = applicationOfActiveWindow();
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() const
{
    return m_frontmost;
}

QList<RunningApplication> X11Workspace::runningApplications() const
{
    QList<RunningApplication> applications;
    QHash<QString, qsizetype> indexByID;
    const auto windows =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.clientList, XA_WINDOW);
    for (const X11Connection::Window window : windows) {
        RunningApplication application = applicationOfWindow(window);
        // Without an identifier (a window with no class at all, or one that vanished while it
        // was read) there is nothing to tell two such applications apart, nor to make a rule for.
        if (!application.bundleID)
            continue;
        const auto known = indexByID.constFind(*application.bundleID);
        if (known == indexByID.constEnd()) {
            indexByID.insert(*application.bundleID, applications.size());
            applications.append(std::move(application));
        }
        else if (application.activationPolicy == RunningApplication::ActivationPolicy::regular) {
            applications[*known].activationPolicy = RunningApplication::ActivationPolicy::regular;
        }
    }
    return applications;
}

std::optional<QString> X11Workspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString> X11Workspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    // Only a regular file: opening a named pipe or a device would block or never end.
    const QFileInfo file(bundlePath);
    if (!file.isFile())
        return std::nullopt;
    const auto entry = DesktopEntry::read(bundlePath, file.fileName());
    if (!entry)
        return std::nullopt;
    auto name = entry->localizedValue(QStringLiteral("Icon"), DesktopEntry::messagesLocale());
    if (name && name->isEmpty())
        return std::nullopt;
    return name;
}

void X11Workspace::updateFrontmostApplication()
{
    auto frontmost = applicationOfActiveWindow();
    const bool activated = frontmost.has_value() != m_frontmost.has_value() ||
                           (frontmost && frontmost->bundleID != m_frontmost->bundleID);
    m_frontmost = std::move(frontmost);
    if (activated)
        announceActivation();
}

std::optional<RunningApplication> X11Workspace::applicationOfActiveWindow() const
{
    const auto active =
        m_connection->valuesProperty(m_connection->rootWindow(), m_atoms.activeWindow, XA_WINDOW);
    // The window manager writes None (0) while no window is active.
    if (active.isEmpty() || active.first() == 0)
        return std::nullopt;
    return applicationOfWindow(active.first());
}

RunningApplication X11Workspace::applicationOfWindow(X11Connection::Window window) const
{
    WindowApplicationHints hints;
    hints.gtkApplicationID =
        m_connection->textProperty(window, m_atoms.gtkApplicationID).value_or(QString());
    hints.kdeDesktopFile =
        m_connection->textProperty(window, m_atoms.kdeDesktopFile).value_or(QString());
    // WM_CLASS holds two zero-terminated texts: the instance name, then the class.
    const QStringList wmClass =
        m_connection->textProperty(window, XA_WM_CLASS).value_or(QString()).split(u'\0');
    hints.wmClassInstance = wmClass.value(0);
    hints.wmClassName = wmClass.value(1);

    RunningApplication application = m_resolver.applicationForWindow(hints);
    application.activationPolicy = isListedInTasks(window)
                                       ? RunningApplication::ActivationPolicy::regular
                                       : RunningApplication::ActivationPolicy::accessory;
    return application;
}

bool X11Workspace::isListedInTasks(X11Connection::Window window) const
{
    const auto types = m_connection->valuesProperty(window, m_atoms.windowType, XA_ATOM);
    if (types.contains(m_atoms.windowTypeDesktop) || types.contains(m_atoms.windowTypeDock))
        return false;
    const auto states = m_connection->valuesProperty(window, m_atoms.state, XA_ATOM);
    return !states.contains(m_atoms.stateSkipTaskbar);
}

} // namespace korvalen
