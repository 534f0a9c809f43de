#include "platform/linux/ChromiumDevTools.h"
#include "platform/linux/X11ActiveWindow.h"
#include "support/ChromiumBrowser.h"
#include "support/FakeWindowManager.h"
#include "support/LocalWebServer.h"
#include "support/XvncServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::ChromiumBrowser;
using korvalen::testing::FakeWindowManager;
using korvalen::testing::LocalWebServer;
using korvalen::testing::XvncServer;

namespace {

const QString chromium = u"Chromium"_s;

// None: no answer at all; an answer may carry no address.
using Answer = std::optional<std::optional<QString>>;
const Answer noAddress{std::in_place};
Answer address(const QString& url)
{
    return Answer(std::in_place, url);
}

// Asks for the active tab and waits for the answer.
Answer askForTab(ChromiumDevTools& devTools, const QString& appName = chromium)
{
    Answer answer;
    devTools.requestCurrentTabURL(appName,
                                  [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000)) << "no answer at all";
    return answer;
}

// A profile folder whose DevToolsActivePort names the given port.
void announcePort(const QString& profileFolder, quint16 port)
{
    ASSERT_TRUE(QDir().mkpath(profileFolder));
    QFile file(QDir(profileFolder).filePath(u"DevToolsActivePort"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(port) + "\n/devtools/browser/x\n");
}

// /json/list with pages of the given titles and addresses, in that order.
QByteArray pageList(const QList<std::pair<QString, QString>>& pages)
{
    QJsonArray targets;
    for (const auto& [title, url] : pages)
        targets.append(QJsonObject{{u"type"_s, u"page"_s}, {u"title"_s, title}, {u"url"_s, url}});
    return QJsonDocument(targets).toJson();
}

} // namespace

class ChromiumDevToolsEndpoint : public ::testing::Test {
protected:
    QTemporaryDir profile;
    ChromiumDevTools devTools{{{u"chromium"_s, chromium, profile.path()}}};
};

TEST_F(ChromiumDevToolsEndpoint, TakesTheFirstTargetOfTypePageElseNoAddress)
{
    const std::pair<QByteArray, Answer> cases[] = {
        {R"([{"type":"browser_ui","url":"chrome://omnibox/"},
             {"type":"page","url":"https://first.example/"},
             {"type":"page","url":"https://second.example/"}])",
         address(u"https://first.example/"_s)},
        {"[]", noAddress},
        {"not json", noAddress},
        {R"({"type":"page","url":"https://a.example/"})", noAddress},
        {R"([{"type":"page","url":7}])", noAddress},
        {R"([{"type":"worker","url":"https://a.example/"}])", noAddress},
    };
    for (const auto& [body, expected] : cases) {
        LocalWebServer endpoint(body);
        announcePort(profile.path(), endpoint.port());
        EXPECT_EQ(askForTab(devTools), expected) << body.toStdString();
    }
}

TEST_F(ChromiumDevToolsEndpoint,
       EndpointsThatDoNotAnswerPlainlyGiveNoAddressWithoutHoldingTheCaller)
{
    const QByteArray list = pageList({{u"A"_s, u"https://a.example/"_s}});
    LocalWebServer elsewhere(list);
    LocalWebServer hung({}, LocalWebServer::Behaviour::mute);
    LocalWebServer dripping(list, LocalWebServer::Behaviour::drip);
    LocalWebServer redirecting(elsewhere.url(u"/json/list"_s).toUtf8(),
                               LocalWebServer::Behaviour::redirect);
    quint16 freePort = 0;
    {
        LocalWebServer gone;
        freePort = gone.port();
    }
    const std::pair<const char*, quint16> endpoints[] = {
        {"hung", hung.port()},
        {"dripping", dripping.port()},
        {"redirecting", redirecting.port()},
        {"missing", freePort},
    };
    for (const auto& [name, port] : endpoints) {
        announcePort(profile.path(), port);
        Answer answer;
        devTools.requestCurrentTabURL(chromium,
                                      [&](const std::optional<QString>& url) { answer = url; });
        EXPECT_FALSE(answer.has_value()) << name << ": the request returns before the browser";
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 10000)) << name;
        EXPECT_EQ(answer, noAddress) << name;
    }
    EXPECT_EQ(elsewhere.connectionCount(), 0) << "the redirect was followed";
}

TEST_F(ChromiumDevToolsEndpoint, TargetListsBeyondTwoMebibytesGiveNoAddress)
{
    const auto listOfSize = [](qsizetype size) {
        return pageList({{QString(size, u'x'), u"https://a.example/"_s}});
    };
    const std::tuple<qsizetype, LocalWebServer::Behaviour, Answer> cases[] = {
        {1 << 20, LocalWebServer::Behaviour::answer, address(u"https://a.example/"_s)},
        {3 << 20, LocalWebServer::Behaviour::answer, noAddress},
        {3 << 20, LocalWebServer::Behaviour::unsized, noAddress},
    };
    for (const auto& [size, behaviour, expected] : cases) {
        LocalWebServer endpoint(listOfSize(size), behaviour);
        announcePort(profile.path(), endpoint.port());
        EXPECT_EQ(askForTab(devTools), expected) << size << " bytes, " << int(behaviour);
    }
}

TEST_F(ChromiumDevToolsEndpoint, AsksEachBrowserOneQuestionAtATime)
{
    LocalWebServer hung({}, LocalWebServer::Behaviour::mute);
    announcePort(profile.path(), hung.port());
    QList<std::optional<QString>> answers;
    for (int question = 0; question < 3; ++question)
        devTools.requestCurrentTabURL(
            chromium, [&](const std::optional<QString>& url) { answers.append(url); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 3; }, 10000));
    EXPECT_EQ(answers, QList<std::optional<QString>>(3, std::nullopt));
    EXPECT_EQ(hung.connectionCount(), 1);

    // Once answered, the next question is asked anew.
    EXPECT_EQ(askForTab(devTools), noAddress);
    EXPECT_EQ(hung.connectionCount(), 2);
}

TEST_F(ChromiumDevToolsEndpoint, UnknownBrowserGivesNoAddress)
{
    Answer answer;
    devTools.requestCurrentTabURL(u"Google Chrome"_s,
                                  [&](const std::optional<QString>& url) { answer = url; });
    EXPECT_EQ(answer, noAddress);
}

// Browser windows on the shared X server, with the hints Chromium sets on its own.
class ChromiumDevToolsWithWindows : public ::testing::Test {
protected:
    using Window = FakeWindowManager::Window;

    void SetUp() override
    {
        m_displayName = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
        ASSERT_FALSE(m_displayName.isEmpty()) << "no Xvnc server";
        windowManager.emplace(m_displayName);
        ASSERT_TRUE(windowManager->isConnected());
        m_display = XOpenDisplay(m_displayName.constData());
        ASSERT_NE(m_display, nullptr);
    }

    void TearDown() override
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    Window openWindow(const QByteArray& title, std::optional<qint64> processID = std::nullopt)
    {
        const Window window = windowManager->createWindow("chromium", "Chromium");
        windowManager->setText(window, "_NET_WM_NAME", title);
        if (processID)
            setProcessID(window, *processID);
        return window;
    }

    void setProcessID(Window window, qint64 processID)
    {
        const long value = long(processID);
        XChangeProperty(m_display, window, XInternAtom(m_display, "_NET_WM_PID", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XSync(m_display, False);
    }

    void setOwner(Window dialog, Window owner)
    {
        XSetTransientForHint(m_display, dialog, owner);
        XSync(m_display, False);
    }

    void focus(Window window)
    {
        XSetInputFocus(m_display, window, RevertToPointerRoot, CurrentTime);
        XSync(m_display, False);
    }

    ChromiumDevTools::ActiveWindowReader activeWindowReader() const
    {
        auto reader = std::make_shared<X11ActiveWindow>(m_displayName);
        return [reader] { return reader->read(); };
    }

    const QByteArray& displayName() const { return m_displayName; }

    std::optional<FakeWindowManager> windowManager;

private:
    QByteArray m_displayName;
    Display* m_display = nullptr;
};

TEST_F(ChromiumDevToolsWithWindows, ReportsTheShownPageOfARealBrowserFoundThroughItsWindow)
{
    LocalWebServer site;
    ChromiumBrowser browser(site.url(u"/article?id=7"_s));
    ASSERT_TRUE(browser.waitUntilReady());
    windowManager->activate(openWindow("Korvalen test page - Chromium", browser.processID()));
    // The browser runs with a profile of its own, which only its command line tells.
    QTemporaryDir defaultProfile;
    ChromiumDevTools devTools({{u"chromium"_s, chromium, defaultProfile.path()}},
                              activeWindowReader());

    // The page target may take a moment to show the address after the endpoint is up.
    std::optional<QString> url;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            url = askForTab(devTools).value_or(std::nullopt);
            return url == site.url(u"/article?id=7"_s);
        },
        20000))
        << url.value_or(u"none"_s).toStdString();
}

TEST_F(ChromiumDevToolsWithWindows, ReportsThePageThatTheActiveWindowShows)
{
    // Two windows side by side; the tab shown last (listed first) is in another window.
    LocalWebServer endpoint(pageList({
        {u"Mail"_s, u"https://mail.example/"_s},
        {u"Sport"_s, u"https://sport.example/"_s},
        {u"Sport - Results"_s, u"https://sport.example/results"_s},
        {u"  Weather   today "_s, u"https://weather.example/"_s},
    }));
    QTemporaryDir profile;
    announcePort(profile.path(), endpoint.port());
    ChromiumDevTools devTools({{u"chromium"_s, chromium, profile.path()}}, activeWindowReader());

    const Window weather = openWindow("Weather today - Chromium");
    const Window results = openWindow("Sport - Results - Google Chrome");
    const Window sport = openWindow("Sport - Audio playing - Chromium");
    const Window downloads = openWindow("Downloads");
    const Window dialog = openWindow("Save File");
    setOwner(dialog, weather);

    const std::pair<Window, QString> cases[] = {
        {weather, u"https://weather.example/"_s}, {results, u"https://sport.example/results"_s},
        {sport, u"https://sport.example/"_s},     {dialog, u"https://weather.example/"_s},
        {downloads, u"https://mail.example/"_s},
    };
    for (const auto& [window, url] : cases) {
        windowManager->activate(window);
        EXPECT_EQ(askForTab(devTools), address(url)) << url.toStdString();
    }

    // Without a window manager that marks the active window, the one with the focus.
    windowManager->removeActiveWindow();
    focus(results);
    EXPECT_EQ(askForTab(devTools), address(u"https://sport.example/results"_s));
}

TEST_F(ChromiumDevToolsWithWindows, FindsTheEndpointOnTheCommandLineOfTheWindowsProcess)
{
    const auto endpointOf = [](const QString& url) {
        return std::make_unique<LocalWebServer>(pageList({{u"Page"_s, url}}));
    };
    const auto fromDefaultProfile = endpointOf(u"https://default-profile.example/"_s);
    const auto fromPort = endpointOf(u"https://port.example/"_s);
    const auto fromUserData = endpointOf(u"https://user-data.example/"_s);
    QTemporaryDir defaultProfile;
    QTemporaryDir userData;
    QTemporaryDir proc;
    announcePort(defaultProfile.path(), fromDefaultProfile->port());
    announcePort(userData.path(), fromUserData->port());
    ChromiumDevTools devTools({{u"chromium"_s, chromium, defaultProfile.path()}},
                              activeWindowReader(), proc.path());

    const QByteArray port = QByteArray::number(fromPort->port());
    const QByteArray userDataFolder = QFile::encodeName(userData.path());
    const QByteArray userDataName = QFile::encodeName(QDir(userData.path()).dirName());
    const std::pair<QList<QByteArray>, QString> cases[] = {
        {{"/usr/lib/chromium/chromium", "--remote-debugging-port=" + port},
         u"https://port.example/"_s},
        {{"chrome", "--user-data-dir=" + userDataFolder, "--remote-debugging-port=0"},
         u"https://user-data.example/"_s},
        {{"chrome", "--user-data-dir=" + userDataName}, u"https://user-data.example/"_s},
        {{"chrome", "--", "--remote-debugging-port=" + port},
         u"https://default-profile.example/"_s},
        {{}, u"https://default-profile.example/"_s},
    };
    const Window window = openWindow("Page - Chromium");
    windowManager->activate(window);
    qint64 processID = 4000;
    for (const auto& [arguments, url] : cases) {
        ++processID;
        setProcessID(window, processID);
        if (!arguments.isEmpty()) {
            const QDir process(proc.filePath(QString::number(processID)));
            ASSERT_TRUE(process.mkpath(u"."_s));
            QFile commandLine(process.filePath(u"cmdline"_s));
            ASSERT_TRUE(commandLine.open(QIODevice::WriteOnly));
            commandLine.write(arguments.join('\0') + '\0');
            ASSERT_TRUE(QFile::link(QFileInfo(userData.path()).path(), process.filePath(u"cwd"_s)));
        }
        EXPECT_EQ(askForTab(devTools), address(url)) << arguments.join(' ').toStdString();
    }
}

TEST_F(ChromiumDevToolsWithWindows, KnowsFlatpakAndSnapBrowsersAndTheirProfiles)
{
    // Sets the variables for the test's lifetime only.
    struct Environment {
        QList<std::pair<const char*, std::optional<QByteArray>>> saved;
        void set(const char* name, const QByteArray& value)
        {
            saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                                : std::nullopt});
            qputenv(name, value);
        }
        ~Environment()
        {
            for (const auto& [name, value] : saved) {
                if (value)
                    qputenv(name, *value);
                else
                    qunsetenv(name);
            }
        }
    } environment;
    QTemporaryDir home;
    environment.set("HOME", QFile::encodeName(home.path()));
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(u".config"_s)));
    environment.set("DISPLAY", displayName());
    const auto devTools = ChromiumDevTools::forCurrentUser();
    EXPECT_EQ(devTools->supportedBrowsers(), (QMap<QString, QString>{
                                                 {u"chromium"_s, u"Chromium"_s},
                                                 {u"chromium_chromium"_s, u"Chromium"_s},
                                                 {u"com.google.Chrome"_s, u"Google Chrome"_s},
                                                 {u"google-chrome"_s, u"Google Chrome"_s},
                                                 {u"org.chromium.Chromium"_s, u"Chromium"_s},
                                             }));

    // A window whose process tells nothing, as a Flatpak's (its process ID is the sandbox's own):
    // the profiles tell.
    windowManager->activate(openWindow("Page - Chromium"));
    LocalWebServer snap(pageList({{u"Page"_s, u"https://snap.example/"_s}}));
    LocalWebServer flatpak(pageList({{u"Page"_s, u"https://flatpak.example/"_s}}));
    LocalWebServer chrome(pageList({{u"Page"_s, u"https://chrome.example/"_s}}));
    const QString snapProfile = home.filePath(u"snap/chromium/common/chromium"_s);
    announcePort(snapProfile, snap.port());
    announcePort(home.filePath(u".var/app/org.chromium.Chromium/config/chromium"_s),
                 flatpak.port());
    announcePort(home.filePath(u".var/app/com.google.Chrome/config/google-chrome"_s),
                 chrome.port());
    // Both browsers run; the one started last wrote its file last.
    QFile snapPort(QDir(snapProfile).filePath(u"DevToolsActivePort"_s));
    ASSERT_TRUE(snapPort.open(QIODevice::ReadWrite));
    ASSERT_TRUE(snapPort.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
    EXPECT_EQ(askForTab(*devTools), address(u"https://flatpak.example/"_s));
    EXPECT_EQ(askForTab(*devTools, u"Google Chrome"_s), address(u"https://chrome.example/"_s));
}
