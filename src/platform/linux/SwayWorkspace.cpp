#include "platform/linux/SwayWorkspace.h"

#include <QJsonArray>
#include <QSet>

#include <functional>

namespace korvalen {

namespace {

// Calls `visit` for each node of the tree, depth first, tiled before floating children, until it
// returns true.
bool visitNodes(const QJsonObject& node, const std::function<bool(const QJsonObject&)>& visit)
{
    if (visit(node))
        return true;
    for (const auto* children : {"nodes", "floating_nodes"}) {
        const QJsonArray nodes = node.value(QLatin1String(children)).toArray();
        for (const QJsonValue& child : nodes) {
            if (visitNodes(child.toObject(), visit))
                return true;
        }
    }
    return false;
}

bool isWindow(const QJsonObject& node)
{
    // Only views have a shell ("xdg_shell", "xwayland"); split containers and workspaces not.
    return node.contains(QLatin1String("shell"));
}

} // namespace

SwayWorkspace::SwayWorkspace()
    : SwayWorkspace(SwayIpcConnection::sessionSocketPath(), ApplicationResolver::forCurrentUser())
{
}

SwayWorkspace::SwayWorkspace(const QString& socketPath, ApplicationResolver resolver)
    : m_connection(socketPath, {QStringLiteral("window")})
    , m_resolver(std::move(resolver))
{
    m_events = m_connection.subscribeToEvents([this](quint32 type, const QJsonObject& event) {
        if (type == SwayIpcConnection::windowEvent)
            handleWindowEvent(event);
    });
    // Subscribed or gone: what was in front before is read afresh, or nothing is.
    m_connectionChanges = m_connection.subscribeToConnectionChanges([this] {
        if (m_connection.isConnected())
            readFrontmostApplication();
        else
            setFrontmostApplication(std::nullopt);
    });
    readFrontmostApplication();
}

std::optional<RunningApplication> SwayWorkspace::frontmostApplication() const
{
    return m_frontmost;
}

QList<RunningApplication> SwayWorkspace::runningApplications() const
{
    QList<RunningApplication> applications;
    const auto root = tree();
    if (!root)
        return applications;
    QSet<QString> seen;
    visitNodes(*root, [&](const QJsonObject& node) {
        auto application = applicationOfNode(node);
        // Without an identifier there is nothing to tell two such applications apart, nor to
        // make a rule for.
        if (application && application->bundleID && !seen.contains(*application->bundleID)) {
            seen.insert(*application->bundleID);
            applications.append(std::move(*application));
        }
        return false;
    });
    return applications;
}

std::optional<QString> SwayWorkspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString> SwayWorkspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return ApplicationResolver::iconNameOfEntryAt(bundlePath);
}

void SwayWorkspace::handleWindowEvent(const QJsonObject& event)
{
    const QString change = event.value(QLatin1String("change")).toString();
    const QJsonObject container = event.value(QLatin1String("container")).toObject();
    if (change == QLatin1String("focus")) {
        setFrontmostApplication(applicationOfNode(container));
    }
    else if (change == QLatin1String("close") || change == QLatin1String("move")) {
        // Focus passes to the next window, or to an empty workspace, without a focus event of
        // its own when the focused window closes or moves away.
        readFrontmostApplication();
    }
}

void SwayWorkspace::readFrontmostApplication()
{
    const auto root = tree();
    if (!root) {
        setFrontmostApplication(std::nullopt);
        return;
    }
    std::optional<RunningApplication> frontmost;
    visitNodes(*root, [&](const QJsonObject& node) {
        if (!node.value(QLatin1String("focused")).toBool())
            return false;
        frontmost = applicationOfNode(node);
        return true;
    });
    setFrontmostApplication(std::move(frontmost));
}

void SwayWorkspace::setFrontmostApplication(std::optional<RunningApplication> frontmost)
{
    const bool activated = frontmost.has_value() != m_frontmost.has_value() ||
                           (frontmost && frontmost->bundleID != m_frontmost->bundleID);
    m_frontmost = std::move(frontmost);
    if (activated)
        announceActivation();
}

std::optional<RunningApplication> SwayWorkspace::applicationOfNode(const QJsonObject& node) const
{
    if (!isWindow(node))
        return std::nullopt;
    WindowApplicationHints hints;
    const QJsonObject x11 = node.value(QLatin1String("window_properties")).toObject();
    if (node.value(QLatin1String("shell")).toString() == QLatin1String("xwayland")) {
        hints.wmClassInstance = x11.value(QLatin1String("instance")).toString();
        hints.wmClassName = x11.value(QLatin1String("class")).toString();
    }
    else {
        // The app_id plays the class's part: it is meant to be the desktop entry's ID, and
        // entries written for Wayland give it as their StartupWMClass when it is not.
        hints.wmClassName = node.value(QLatin1String("app_id")).toString();
    }
    hints.processID = node.value(QLatin1String("pid")).toInteger();
    RunningApplication application = m_resolver.applicationForWindow(hints);
    application.activationPolicy = RunningApplication::ActivationPolicy::regular;
    return application;
}

std::optional<QJsonObject> SwayWorkspace::tree() const
{
    const auto reply = m_connection.request(SwayIpcConnection::MessageType::getTree);
    if (!reply || !reply->isObject())
        return std::nullopt;
    return reply->object();
}

} // namespace korvalen
