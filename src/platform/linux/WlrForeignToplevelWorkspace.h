#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ApplicationResolver.h"
#include "platform/linux/WaylandDisplayConnection.h"

#include <QTimer>

#include <memory>
#include <vector>

struct wl_registry;
struct wl_registry_listener;
struct zwlr_foreign_toplevel_manager_v1;
struct zwlr_foreign_toplevel_manager_v1_listener;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_handle_v1_listener;

namespace korvalen {

// The workspace of a wlroots compositor (Hyprland, labwc, Wayfire, river, sway among others), as
// its list of toplevel windows for taskbars tells it: the frontmost application is the one of the
// activated window, the running ones are those of the open windows. A window names its
// application by its app_id, resolved through the desktop entries as an X11 window's class is;
// an Xwayland window's app_id is its X11 class.
//
// An activation is announced when the activated window belongs to another application than the
// one before, or when no window is activated. Without a compositor, or with one that does not
// offer the list, there is no frontmost application and nothing runs.
class WlrForeignToplevelWorkspace final : public Workspace {
public:
    // The compositor of $WAYLAND_DISPLAY, with the current user's desktop entries.
    WlrForeignToplevelWorkspace();
    WlrForeignToplevelWorkspace(const QString& displayName, ApplicationResolver resolver);
    ~WlrForeignToplevelWorkspace() override;

    std::optional<RunningApplication> frontmostApplication() const override;
    // One entry per application identifier, in the order the windows were opened; all regular.
    QList<RunningApplication> runningApplications() const override;
    std::optional<QString> pathForApplication(const QString& bundleID) const override;
    std::optional<QString> iconNameForApplicationAt(const QString& bundlePath) const override;

private:
    // What the compositor tells of one window; also what its handle's events are given.
    struct Toplevel {
        WlrForeignToplevelWorkspace* workspace = nullptr;
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        QString appID;
        bool activated = false;
        // Whether the first set of properties is complete.
        bool described = false;
        // Orders the activated windows when several seats each have one: the latest is in front.
        quint64 activationOrder = 0;
        // The application of `resolvedAppID`: titles change far more often than app_ids.
        QString resolvedAppID;
        std::optional<RunningApplication> application;
    };

    static const wl_registry_listener registryListener;
    static const zwlr_foreign_toplevel_manager_v1_listener managerListener;
    static const zwlr_foreign_toplevel_handle_v1_listener handleListener;

    void handleConnectionChange();
    void bindManager(wl_registry* registry, uint32_t name, uint32_t version);
    void addToplevel(zwlr_foreign_toplevel_handle_v1* handle);
    void describeToplevel(Toplevel& toplevel);
    void removeToplevel(Toplevel& toplevel);
    // Forgets the manager and the windows; `destroyRequests` tells whether the compositor is
    // still there to be told.
    void forgetObjects(bool destroyRequests);
    // After the events at hand: a window closing and the next one activated come as separate
    // events, and nothing is in front between them.
    void scheduleFrontmostUpdate();
    void updateFrontmostApplication();
    void setFrontmostApplication(std::optional<RunningApplication> frontmost);

    WaylandDisplayConnection m_connection;
    ApplicationResolver m_resolver;
    wl_registry* m_registry = nullptr;
    zwlr_foreign_toplevel_manager_v1* m_manager = nullptr;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    quint64 m_activations = 0;
    std::optional<RunningApplication> m_frontmost;
    QTimer m_frontmostUpdate;
    Subscription m_connectionChanges;
};

} // namespace korvalen
