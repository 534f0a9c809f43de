#include "platform/linux/KwinScriptWorkspace.h"

#include <QDBusPendingCallWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace korvalen {

namespace {

const QString kwinService = QStringLiteral("org.kde.KWin");
const QString reportsPath = QStringLiteral("/KwinReports");
const QString reportsInterface = QStringLiteral("io.github.korvalen.KwinReports");

// Loading and running a script parses it inside KWin; a busy compositor may take a while, and
// nothing waits for these calls.
constexpr int kwinCallTimeoutMs = 5000;
WindowApplicationHints hintsOf(const QString& desktopFileName, const QString& resourceName,
                               const QString& resourceClass, qint64 processID)
{
    WindowApplicationHints hints;
    // KWin's desktop file name is what X11 windows announce as _KDE_NET_WM_DESKTOP_FILE; a native
    // window's resource class is its app_id, which plays the WM_CLASS class's part.
    hints.desktopFile = desktopFileName;
    hints.wmClassInstance = resourceName;
    hints.wmClassName = resourceClass;
    hints.processID = processID;
    hints.classCaseLost = true;
    return hints;
}

} // namespace

// The object that the script calls; it believes only the KWin that runs the script.
class KwinScriptWorkspace::Reports final : public QDBusVirtualObject {
public:
    explicit Reports(KwinScriptWorkspace& workspace)
        : m_workspace(workspace)
    {
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != reportsInterface)
            return false;
        // KWin waits for an answer to every call it makes.
        if (message.isReplyRequired())
            connection.send(message.createReply());
        if (m_workspace.m_kwinName.isEmpty() || message.service() != m_workspace.m_kwinName)
            return true;
        const QList<QVariant> arguments = message.arguments();
        if (message.member() == QLatin1String("activated") && arguments.size() == 4) {
            m_workspace.handleActivation(hintsOf(arguments[0].toString(), arguments[1].toString(),
                                                 arguments[2].toString(),
                                                 arguments[3].toLongLong()));
        }
        else if (message.member() == QLatin1String("windows") && arguments.size() == 1) {
            QList<WindowApplicationHints> windows;
            const QJsonArray described =
                QJsonDocument::fromJson(arguments[0].toString().toUtf8()).array();
            for (const QJsonValue& value : described) {
                const QJsonArray window = value.toArray();
                windows.append(hintsOf(window.at(0).toString(), window.at(1).toString(),
                                       window.at(2).toString(), window.at(3).toInteger()));
            }
            m_workspace.handleWindows(windows);
        }
        return true;
    }

    QString introspect(const QString& /*path*/) const override
    {
        return QStringLiteral(
            "<interface name=\"io.github.korvalen.KwinReports\">"
            "<method name=\"activated\"><arg name=\"desktopFileName\" type=\"s\"/>"
            "<arg name=\"resourceName\" type=\"s\"/><arg name=\"resourceClass\" type=\"s\"/>"
            "<arg name=\"pid\" type=\"i\"/></method>"
            "<method name=\"windows\"><arg name=\"json\" type=\"s\"/></method></interface>");
    }

private:
    KwinScriptWorkspace& m_workspace;
};

KwinScriptWorkspace::KwinScriptWorkspace()
    : KwinScriptWorkspace(QDBusConnection::sessionBus(), ApplicationResolver::forCurrentUser())
{
}

KwinScriptWorkspace::KwinScriptWorkspace(QDBusConnection bus, ApplicationResolver resolver)
    : m_bus(std::move(bus))
    , m_resolver(std::move(resolver))
    , m_reports(std::make_unique<Reports>(*this))
    , m_script(QDir::tempPath() + QStringLiteral("/korvalen-kwin-XXXXXX.js"))
    , m_focus(m_resolver, [this] { announceActivation(); })
    , m_kwinWatcher(kwinService, m_bus,
                    QDBusServiceWatcher::WatchForRegistration |
                        QDBusServiceWatcher::WatchForUnregistration)
{
    QObject::connect(&m_kwinWatcher, &QDBusServiceWatcher::serviceRegistered, &m_pendingCalls,
                     [this] { loadScript(); });
    QObject::connect(&m_kwinWatcher, &QDBusServiceWatcher::serviceUnregistered, &m_pendingCalls,
                     [this] { forgetKwin(); });

    const QString service = m_bus.baseService();
    QFile source(QStringLiteral(":/korvalen/kwin/report-windows.js"));
    if (service.isEmpty() || !source.open(QIODevice::ReadOnly) || !m_script.open())
        return;
    m_script.write(
        QString::fromUtf8(source.readAll()).replace(QStringLiteral("@SERVICE@"), service).toUtf8());
    m_script.flush();
    // KWin may run as another user than we do (in tests); the script holds nothing private.
    m_script.setPermissions(m_script.permissions() | QFile::ReadGroup | QFile::ReadOther);
    // One name per connection: KWin refuses a second script of the same name.
    m_pluginName = QStringLiteral("korvalen") +
                   QString(service).replace(QLatin1Char(':'), u'_').replace(QLatin1Char('.'), u'_');
    if (!m_bus.registerVirtualObject(reportsPath, m_reports.get()))
        return;
    loadScript();
}

KwinScriptWorkspace::~KwinScriptWorkspace()
{
    if (m_scriptID >= 0) {
        m_calls.call(m_bus,
                     QDBusMessage::createMethodCall(kwinService, QStringLiteral("/Scripting"),
                                                    QStringLiteral("org.kde.kwin.Scripting"),
                                                    QStringLiteral("unloadScript"))
                         << m_pluginName);
    }
    m_bus.unregisterObject(reportsPath);
}

std::optional<RunningApplication> KwinScriptWorkspace::frontmostApplication() const
{
    return m_focus.frontmost();
}

QList<RunningApplication> KwinScriptWorkspace::runningApplications() const
{
    return m_running;
}

std::optional<QString> KwinScriptWorkspace::pathForApplication(const QString& bundleID) const
{
    return m_resolver.pathForApplication(bundleID);
}

std::optional<QString>
KwinScriptWorkspace::iconNameForApplicationAt(const QString& bundlePath) const
{
    return ApplicationResolver::iconNameOfEntryAt(bundlePath);
}

void KwinScriptWorkspace::loadScript()
{
    if (m_pluginName.isEmpty())
        return;
    forgetKwin();
    QDBusMessage request = QDBusMessage::createMethodCall(kwinService, QStringLiteral("/Scripting"),
                                                          QStringLiteral("org.kde.kwin.Scripting"),
                                                          QStringLiteral("loadScript"));
    request << m_script.fileName() << m_pluginName;
    auto* watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(request, kwinCallTimeoutMs), &m_pendingCalls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_pendingCalls, [this, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        const int id = reply.arguments().value(0, -1).toInt();
        if (reply.type() != QDBusMessage::ReplyMessage || id < 0)
            return;
        m_kwinName = reply.service();
        // KWin 6 gives a loaded script this path; KWin 5 gave it "/<id>".
        runScript(QStringLiteral("/Scripting/Script%1").arg(id), false);
        m_scriptID = id;
    });
}

void KwinScriptWorkspace::runScript(const QString& objectPath, bool lastTry)
{
    const QDBusMessage request = QDBusMessage::createMethodCall(
        kwinService, objectPath, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
    auto* watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(request, kwinCallTimeoutMs), &m_pendingCalls);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_pendingCalls,
                     [this, watcher, lastTry] {
                         watcher->deleteLater();
                         if (watcher->isError() && !lastTry && m_scriptID >= 0)
                             runScript(QStringLiteral("/%1").arg(m_scriptID), true);
                     });
}

void KwinScriptWorkspace::forgetKwin()
{
    m_kwinName.clear();
    m_scriptID = -1;
    m_running.clear();
    m_focus.clear();
}

void KwinScriptWorkspace::handleActivation(const WindowApplicationHints& hints)
{
    m_focus.windowFocused(hints);
}

void KwinScriptWorkspace::handleWindows(const QList<WindowApplicationHints>& windows)
{
    m_running = m_focus.applicationsOf(windows);
}

} // namespace korvalen
