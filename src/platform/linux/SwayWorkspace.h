#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/SwayIpcConnection.h"

#include <QJsonObject>

namespace korvalen {

// The workspace of a sway session, as its IPC tells it: the frontmost application is the one of
// the focused window, the running ones are those of the windows in the tree. A native window
// names its application by its app_id, an Xwayland window by its X11 class and instance; both
// are resolved through the desktop entries as X11 windows are.
//
// An activation is announced when focus comes to a window of another application, or to no
// window (the last one of a workspace closed, the compositor gone). Without a compositor there
// is no frontmost application and nothing runs; installed applications are still found.
class SwayWorkspace final : public Workspace {
public:
    // The session of $SWAYSOCK, with the current user's desktop entries.
    SwayWorkspace();
    SwayWorkspace(const QString& socketPath, ApplicationResolver resolver);

    std::optional<RunningApplication> frontmostApplication() const override;
    // One entry per application identifier, in the order of the tree; all regular.
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

private:
    void handleWindowEvent(const QJsonObject& event);
    void readFrontmostApplication();
    void setFrontmostApplication(std::optional<RunningApplication> frontmost);
    // None for containers that are no window.
    std::optional<RunningApplication> applicationOfNode(const QJsonObject& node) const;
    std::optional<QJsonObject> tree() const;

    mutable SwayIpcConnection m_connection;
    ApplicationResolver m_resolver;
    std::optional<RunningApplication> m_frontmost;
    Subscription m_events;
    Subscription m_connectionChanges;
};

} // namespace korvalen
