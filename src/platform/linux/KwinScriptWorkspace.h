#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/BoundedDBusCalls.h"
#include "platform/linux/FocusedWindowApplication.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QTemporaryFile>

#include <memory>

namespace korvalen {

// The workspace of a KDE Plasma session on Wayland, where only KWin knows the windows: a small
// script, loaded into KWin over D-Bus, reports each activation and the windows that exist to an
// object of ours on the same bus. A window names its application by its desktop file name when
// KWin knows one, else by its resource name and class, resolved through the desktop entries as
// X11 windows are.
//
// An activation is announced when focus comes to a window of another application, or stays with
// no window for a moment (a switch passes through none). When KWin restarts the script is loaded
// again; while KWin is away no application is frontmost and none runs. The script is unloaded when
// this object goes.
class KwinScriptWorkspace final : public Workspace {
public:
    // The user's session bus, with the current user's desktop entries.
    KwinScriptWorkspace();
    KwinScriptWorkspace(QDBusConnection bus, ApplicationResolver resolver);
    ~KwinScriptWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    // One entry per application identifier of KWin's normal windows, in KWin's order; all regular.
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

    // Whether KWin runs our script, so that activations are reported.
    bool isReporting() const { return m_scriptID >= 0; }

private:
    class Reports;
    friend class Reports;

    void loadScript();
    void runScript(const QString& objectPath, bool lastTry);
    void forgetKwin();
    void handleActivation(const WindowApplicationHints& hints);
    void handleWindows(const QList<WindowApplicationHints>& windows);

    QDBusConnection m_bus;
    ApplicationResolver m_resolver;
    std::unique_ptr<Reports> m_reports;
    QTemporaryFile m_script;
    QString m_pluginName;
    QString m_kwinName; // KWin's unique bus name while our script runs there
    int m_scriptID = -1;
    FocusedWindowApplication m_focus;
    QList<RunningApplication> m_running;
    BoundedDBusCalls m_calls;
    QDBusServiceWatcher m_kwinWatcher;
    // Owns the pending calls' watchers, so that no reply reaches a destroyed workspace.
    QObject m_pendingCalls;
};

} // namespace korvalen
