#include "platform/linux/WlrForeignToplevelWorkspace.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QSet>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>

namespace korvalen {

namespace {

// Version 3 adds only the parent event, which says nothing of the application.
constexpr uint32_t newestManagerVersion = 3;

bool containsActivated(const wl_array* states)
{
    const auto* values = static_cast<const uint32_t*>(states->data);
    const auto* end = values + states->size / sizeof(uint32_t);
    return std::find(values, end, uint32_t(ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED)) != end;
}

} // namespace

const wl_registry_listener WlrForeignToplevelWorkspace::registryListener = {
    .global =
        [](void* data, wl_registry* registry, uint32_t name, const char* interface,
           uint32_t version) {
            if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0)
                static_cast<WlrForeignToplevelWorkspace*>(data)->bindManager(registry, name,
                                                                             version);
        },
    // A compositor withdraws the manager only as it goes away, which the connection tells.
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

const zwlr_foreign_toplevel_manager_v1_listener WlrForeignToplevelWorkspace::managerListener = {
    .toplevel =
        [](void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
            static_cast<WlrForeignToplevelWorkspace*>(data)->addToplevel(handle);
        },
    .finished =
        [](void* data, zwlr_foreign_toplevel_manager_v1*) {
            // The compositor has destroyed the manager, and tells nothing of windows any more.
            static_cast<WlrForeignToplevelWorkspace*>(data)->forgetObjects(true);
        },
};

const zwlr_foreign_toplevel_handle_v1_listener WlrForeignToplevelWorkspace::handleListener = {
    .title = [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    .app_id =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, const char* appID) {
            static_cast<Toplevel*>(data)->appID = QString::fromUtf8(appID);
        },
    .output_enter = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .output_leave = [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    .state =
        [](void* data, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
            auto* toplevel = static_cast<Toplevel*>(data);
            const bool activated = containsActivated(states);
            if (activated && !toplevel->activated)
                toplevel->activationOrder = ++toplevel->workspace->m_activations;
            toplevel->activated = activated;
        },
    .done =
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
            auto* toplevel = static_cast<Toplevel*>(data);
            toplevel->workspace->describeToplevel(*toplevel);
        },
    .closed =
        [](void* data, zwlr_foreign_toplevel_handle_v1*) {
            auto* toplevel = static_cast<Toplevel*>(data);
            toplevel->workspace->removeToplevel(*toplevel);
        },
    // Dialogs are toplevels with an app_id of their own, usually their parent's.
    .parent = [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

WlrForeignToplevelWorkspace::WlrForeignToplevelWorkspace()
    : WlrForeignToplevelWorkspace(WaylandDisplayConnection::sessionDisplayName(),
                                  ApplicationResolver::forCurrentUser())
{
}

WlrForeignToplevelWorkspace::WlrForeignToplevelWorkspace(const QString& displayName,
                                                         ApplicationResolver resolver)
    : m_connection(displayName)
    , m_resolver(std::move(resolver))
{
    m_frontmostUpdate.setSingleShot(true);
    m_frontmostUpdate.setInterval(0);
    QObject::connect(&m_frontmostUpdate, &QTimer::timeout,
                     [this] { updateFrontmostApplication(); });
    m_connectionChanges =
        m_connection.subscribeToConnectionChanges([this] { handleConnectionChange(); });
    handleConnectionChange();
}

WlrForeignToplevelWorkspace::~WlrForeignToplevelWorkspace()
{
    m_connectionChanges = {};
    // Going away is no activation.
    m_frontmost.reset();
    forgetObjects(m_connection.isConnected());
    if (m_registry)
        wl_registry_destroy(m_registry);
    m_connection.flush();
}

std::optional<RunningApplication> WlrForeignToplevelWorkspace::frontmostApplication() const
{
    return m_frontmost;
}

QList<RunningApplication> WlrForeignToplevelWorkspace::runningApplications() const
{
    QList<RunningApplication> applications;
    QSet<QString> seen;
    for (const auto& toplevel : m_toplevels) {
        // Without an identifier there is nothing to tell two such applications apart, nor to
        // make a rule for.
        const auto& application = toplevel->application;
        if (application && application->bundleID && !seen.contains(*application->bundleID)) {
            seen.insert(*application->bundleID);
            applications.append(*application);
        }
    }
    return applications;
}

std::optional<QString>
WlrForeignToplevelWorkspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString>
WlrForeignToplevelWorkspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return ApplicationResolver::iconNameOfEntryAt(bundlePath);
}

void WlrForeignToplevelWorkspace::handleConnectionChange()
{
    if (!m_connection.isConnected()) {
        forgetObjects(false);
        if (m_registry)
            wl_registry_destroy(m_registry);
        m_registry = nullptr;
        return;
    }
    if (m_registry)
        return;
    m_registry = wl_display_get_registry(m_connection.display());
    wl_registry_add_listener(m_registry, &registryListener, this);
    m_connection.flush();
}

void WlrForeignToplevelWorkspace::bindManager(wl_registry* registry, uint32_t name,
                                              uint32_t version)
{
    if (m_manager)
        return;
    m_manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                         std::min(version, newestManagerVersion)));
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &managerListener, this);
}

void WlrForeignToplevelWorkspace::addToplevel(zwlr_foreign_toplevel_handle_v1* handle)
{
    auto toplevel = std::make_unique<Toplevel>();
    toplevel->workspace = this;
    toplevel->handle = handle;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &handleListener, toplevel.get());
    m_toplevels.push_back(std::move(toplevel));
}

void WlrForeignToplevelWorkspace::describeToplevel(Toplevel& toplevel)
{
    if (!toplevel.described || toplevel.appID != toplevel.resolvedAppID) {
        // The app_id plays the class's part: it is meant to be the desktop entry's ID, and
        // entries written for Wayland give it as their StartupWMClass when it is not.
        WindowApplicationHints hints;
        hints.wmClassName = toplevel.appID;
        RunningApplication application = m_resolver.applicationForWindow(hints);
        application.activationPolicy = RunningApplication::ActivationPolicy::regular;
        toplevel.application = std::move(application);
        toplevel.resolvedAppID = toplevel.appID;
    }
    toplevel.described = true;
    scheduleFrontmostUpdate();
}

void WlrForeignToplevelWorkspace::removeToplevel(Toplevel& toplevel)
{
    zwlr_foreign_toplevel_handle_v1_destroy(toplevel.handle);
    std::erase_if(m_toplevels, [&](const auto& each) { return each.get() == &toplevel; });
    scheduleFrontmostUpdate();
}

void WlrForeignToplevelWorkspace::forgetObjects(bool destroyRequests)
{
    for (const auto& toplevel : m_toplevels) {
        if (destroyRequests)
            zwlr_foreign_toplevel_handle_v1_destroy(toplevel->handle);
        else
            wl_proxy_destroy(reinterpret_cast<wl_proxy*>(toplevel->handle));
    }
    m_toplevels.clear();
    // The manager's own destructor request, stop, asks for a finished event first; the
    // compositor forgets the object with the connection, or has already destroyed it.
    if (m_manager)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_manager));
    m_manager = nullptr;
    updateFrontmostApplication();
}

void WlrForeignToplevelWorkspace::scheduleFrontmostUpdate()
{
    m_frontmostUpdate.start();
}

void WlrForeignToplevelWorkspace::updateFrontmostApplication()
{
    const Toplevel* front = nullptr;
    for (const auto& toplevel : m_toplevels) {
        if (toplevel->described && toplevel->activated &&
            (!front || toplevel->activationOrder > front->activationOrder))
            front = toplevel.get();
    }
    setFrontmostApplication(front ? front->application : std::nullopt);
}

void WlrForeignToplevelWorkspace::setFrontmostApplication(
    std::optional<RunningApplication> frontmost)
{
    const bool activated = frontmost.has_value() != m_frontmost.has_value() ||
                           (frontmost && frontmost->bundleID != m_frontmost->bundleID);
    m_frontmost = std::move(frontmost);
    if (activated)
        announceActivation();
}

} // namespace korvalen
