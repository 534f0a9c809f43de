#include "platform/linux/ChromiumDevTools.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

namespace {

// Far beyond any real command line (the kernel allows a few MiB at most).
constexpr qint64 maximumCommandLineSize = 1 << 20;

// What the command line of a browser process says about its DevTools endpoint.
struct DebuggingSwitches {
    std::optional<int> port;               // 0: chosen by the browser at start
    std::optional<QString> userDataFolder; // absolute
};

// A switch as Chromium reads its command line: "--name=value" or "-name=value", the last one
// winning, none after a lone "--".
std::optional<QByteArray> switchValue(const QList<QByteArray>& arguments, QByteArrayView name)
{
    std::optional<QByteArray> value;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QByteArrayView argument(arguments[i]);
        if (argument == "--")
            break;
        if (argument.startsWith("--"))
            argument = argument.sliced(2);
        else if (argument.startsWith('-'))
            argument = argument.sliced(1);
        else
            continue;
        if (argument.startsWith(name) && argument.sliced(name.size()).startsWith('='))
            value = argument.sliced(name.size() + 1).toByteArray();
    }
    return value;
}

DebuggingSwitches debuggingSwitches(const QString& procFolder, qint64 processID)
{
    const QDir process(procFolder + u'/' + QString::number(processID));
    QFile file(process.filePath(u"cmdline"_s));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> arguments = file.read(maximumCommandLineSize).split('\0');
    DebuggingSwitches switches;
    if (const auto port = switchValue(arguments, "remote-debugging-port")) {
        bool ok = false;
        const int number = port->toInt(&ok);
        if (ok && number >= 0 && number <= 65535)
            switches.port = number;
    }
    if (const auto folder = switchValue(arguments, "user-data-dir"); folder && !folder->isEmpty()) {
        QString path = QFile::decodeName(*folder);
        if (QDir::isRelativePath(path)) {
            // Chromium takes a relative folder from where it was started.
            const QString startFolder = QFileInfo(process.filePath(u"cwd"_s)).symLinkTarget();
            path = startFolder.isEmpty() ? QString() : QDir(startFolder).filePath(path);
        }
        if (!path.isEmpty())
            switches.userDataFolder = QDir::cleanPath(path);
    }
    return switches;
}

struct AnnouncedPort {
    int port = 0;
    QDateTime written;
};

// The port the browser wrote into its profile when remote debugging started.
std::optional<AnnouncedPort> announcedPort(const QString& profileFolder)
{
    QFile file(QDir(profileFolder).filePath(u"DevToolsActivePort"_s));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const int port = file.readLine(16).trimmed().toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        return std::nullopt;
    return AnnouncedPort{port, file.fileTime(QFileDevice::FileModificationTime)};
}

// The address of the page the window shows. Chromium titles a window "<page title> - Chromium"
// (or "- Google Chrome", with more parts before that for a tab playing sound or a profile), so
// the page is the one with the longest title that begins the window title followed by " - ";
// else one titled like the whole window (an application window); else the first page, which is
// the tab shown most recently in any window.
std::optional<QString> shownPageURL(const QByteArray& targetList, const QString& windowTitle)
{
    const QString shown = windowTitle.simplified();
    std::optional<QJsonObject> first;
    std::optional<QJsonObject> titledLikeWindow;
    std::optional<QJsonObject> beginsWindowTitle;
    qsizetype longestTitle = 0;
    for (const QJsonValue& target : QJsonDocument::fromJson(targetList).array()) {
        if (target[u"type"_s] != u"page"_s)
            continue;
        const QJsonObject page = target.toObject();
        if (!first)
            first = page;
        const QString title = page[u"title"_s].toString().simplified();
        if (title.isEmpty())
            continue;
        if (title == shown && !titledLikeWindow)
            titledLikeWindow = page;
        else if (title.size() > longestTitle && shown.startsWith(title + u" - "_s)) {
            beginsWindowTitle = page;
            longestTitle = title.size();
        }
    }
    const std::optional<QJsonObject>& page =
        beginsWindowTitle ? beginsWindowTitle : (titledLikeWindow ? titledLikeWindow : first);
    if (!page)
        return std::nullopt;
    const QJsonValue url = (*page)[u"url"_s];
    return url.isString() ? std::optional(url.toString()) : std::nullopt;
}

} // namespace

ChromiumDevTools::ChromiumDevTools(QList<Browser> browsers, ActiveWindowReader activeWindow,
                                   QString procFolder)
    : m_browsers(std::move(browsers))
    , m_activeWindow(std::move(activeWindow))
    , m_procFolder(std::move(procFolder))
{
    // The endpoint is on this machine; a proxy must never see the user's tabs.
    m_network.setProxy(QNetworkProxy::NoProxy);
}

std::unique_ptr<ChromiumDevTools> ChromiumDevTools::forCurrentUser()
{
    const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QDir home = QDir::home();
    auto activeWindow = std::make_shared<X11ActiveWindow>();
    return std::make_unique<ChromiumDevTools>(
        QList<Browser>{
            {u"google-chrome"_s, u"Google Chrome"_s, config.filePath(u"google-chrome"_s)},
            {u"chromium"_s, u"Chromium"_s, config.filePath(u"chromium"_s)},
            // Flatpak gives each application a configuration folder of its own.
            {u"com.google.Chrome"_s, u"Google Chrome"_s,
             home.filePath(u".var/app/com.google.Chrome/config/google-chrome"_s)},
            {u"org.chromium.Chromium"_s, u"Chromium"_s,
             home.filePath(u".var/app/org.chromium.Chromium/config/chromium"_s)},
            {u"chromium_chromium"_s, u"Chromium"_s,
             home.filePath(u"snap/chromium/common/chromium"_s)},
        },
        [activeWindow] { return activeWindow->read(); });
}

QMap<QString, QString> ChromiumDevTools::supportedBrowsers() const
{
    QMap<QString, QString> browsers;
    for (const Browser& browser : m_browsers)
        browsers.insert(browser.bundleID, browser.appName);
    return browsers;
}

void ChromiumDevTools::requestCurrentTabURL(const QString& appName, TabURLHandler handler)
{
    if (std::ranges::find(m_browsers, appName, &Browser::appName) == m_browsers.end()) {
        handler(std::nullopt);
        return;
    }
    QList<TabURLHandler>& waiting = m_waiting[appName];
    waiting.append(std::move(handler));
    if (waiting.size() > 1)
        return;
    const X11ActiveWindow::State window =
        m_activeWindow ? m_activeWindow() : X11ActiveWindow::State();
    fetchTargetList(portForProcess(appName, window.processID),
                    [this, appName, title = window.title](const std::optional<QByteArray>& list) {
                        const std::optional<QString> url =
                            list ? shownPageURL(*list, title) : std::nullopt;
                        for (const TabURLHandler& waitingHandler : m_waiting.take(appName))
                            waitingHandler(url);
                    });
}

int ChromiumDevTools::portForProcess(const QString& appName, std::optional<qint64> processID) const
{
    const DebuggingSwitches switches =
        processID ? debuggingSwitches(m_procFolder, *processID) : DebuggingSwitches();
    if (switches.port.value_or(0) > 0)
        return *switches.port;
    QStringList profileFolders;
    if (switches.userDataFolder)
        profileFolders.append(*switches.userDataFolder);
    else {
        for (const Browser& browser : m_browsers) {
            if (browser.appName == appName)
                profileFolders.append(browser.profileFolder);
        }
    }
    // Installations of one browser (a Debian package, a Flatpak) keep separate profiles; the one
    // started last wrote its file last.
    std::optional<AnnouncedPort> newest;
    for (const QString& folder : profileFolders) {
        const auto announced = announcedPort(folder);
        if (announced && (!newest || announced->written > newest->written))
            newest = announced;
    }
    return newest ? newest->port : defaultPort;
}

void ChromiumDevTools::fetchTargetList(int port,
                                       std::function<void(std::optional<QByteArray>)> done)
{
    QUrl endpoint;
    endpoint.setScheme(u"http"_s);
    endpoint.setHost(u"127.0.0.1"_s);
    endpoint.setPort(port);
    endpoint.setPath(u"/json/list"_s);

    QNetworkRequest request(endpoint);
    // A redirect could lead away from this machine.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = m_network.get(request);
    // Counted from the start, not from the last byte: an endpoint that sends a little now and
    // then must not hold the question open.
    QTimer::singleShot(replyTimeout, reply, &QNetworkReply::abort);
    // Nothing is read before the end, so what is available is all that came so far.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > maximumTargetListSize)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done = std::move(done)] {
        reply->deleteLater();
        const bool complete =
            reply->error() == QNetworkReply::NoError &&
            reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200 &&
            reply->bytesAvailable() <= maximumTargetListSize;
        done(complete ? std::optional(reply->readAll()) : std::nullopt);
    });
}

} // namespace korvalen
