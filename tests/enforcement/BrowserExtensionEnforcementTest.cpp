#include "enforcement/EnforcementController.h"
#include "input/InputSourceManager.h"
#include "platform/linux/BrowserExtensionBridge.h"
#include "platform/linux/ExtensionFirstBrowserScripting.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XkbTextInputSources.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "support/ChromiumBrowser.h"
#include "support/EnforcementLogLines.h"
#include "support/LocalWebServer.h"
#include "support/XvncServer.h"
#include "website/BrowserExtension.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include <signal.h>
#include <unistd.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::ChromiumBrowser;
using korvalen::testing::LocalWebServer;
using korvalen::testing::XvncServer;

namespace {

const QString us = u"xkb:us"_s;
const QString ru = u"xkb:ru"_s;
const QString de = u"xkb:de(nodeadkeys)"_s;
const QString terminal = u"KorvalenTerminal"_s;

// The product's target is a switch within 200 ms of the tab change, which the median meets here
// with room to spare on an idle machine (printed). Two busy processes on top of a two-core
// machine's load bring Firefox's median near it and single switches to half a second, so the
// bounds asserted are looser.
constexpr qint64 medianBoundMilliseconds = 400;
constexpr qint64 switchBoundMilliseconds = 1500;

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// The native messaging host manifest, letting in the extension as the browser names it
// (allowed_origins for Chromium, allowed_extensions for Firefox).
QByteArray hostManifest(const QString& allowedKey, const QString& allowed)
{
    return QJsonDocument(QJsonObject{{u"name"_s, BrowserExtension::nativeHostName},
                                     {u"description"_s, u"Korvalen"_s},
                                     {u"path"_s, QStringLiteral(KORVALEN_BROWSER_HOST)},
                                     {u"type"_s, u"stdio"_s},
                                     {allowedKey, QJsonArray{allowed}}})
        .toJson();
}

// Debian's Firefox ESR on a profile of its own into which Korvalen's extension is sideloaded, as
// Firefox installs the packages it finds in a profile's extensions folder. Killed when destroyed.
class FirefoxBrowser {
public:
    FirefoxBrowser(const QStringList& urls, const QProcessEnvironment& environment)
    {
        // Unsigned extensions load in ESR only with signatures off; sideloaded ones stay disabled
        // until the user agrees, unless no scope is disabled automatically. The pages are plain
        // http, which HTTPS-First would try to upgrade; the rest keeps first-run pages away.
        const QByteArray prefs = R"(user_pref("xpinstall.signatures.required", false);
user_pref("extensions.autoDisableScopes", 0);
user_pref("network.dns.localDomains", "a.test,b.test");
user_pref("dom.security.https_first", false);
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
)";
        if (!writeFile(m_profile.filePath(u"user.js"_s), prefs) ||
            !QDir().mkpath(m_profile.filePath(u"extensions"_s)))
            return;
        QProcess zip;
        zip.setWorkingDirectory(QStringLiteral(KORVALEN_BROWSER_EXTENSION_DIR));
        zip.start(u"zip"_s,
                  {u"-q"_s, u"-r"_s, u"-X"_s,
                   m_profile.filePath(u"extensions/"_s + BrowserExtension::firefoxId + u".xpi"_s),
                   u"."_s});
        if (!zip.waitForFinished() || zip.exitCode() != 0)
            return;
        m_process.setProgram(u"firefox-esr"_s);
        m_process.setArguments(QStringList{u"-profile"_s, m_profile.path(), u"-no-remote"_s} +
                               urls);
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        // A group of its own, so that its content processes end with it rather than write into
        // folders that the test is removing.
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        m_process.start();
    }
    ~FirefoxBrowser()
    {
        if (m_process.processId() > 0)
            ::kill(-pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(5000);
    }
    FirefoxBrowser(const FirefoxBrowser&) = delete;
    FirefoxBrowser& operator=(const FirefoxBrowser&) = delete;

    bool hasStarted() { return m_process.waitForStarted(); }

private:
    QTemporaryDir m_profile;
    QProcess m_process;
};

// The engine as Korvalen composes it on X11, on the test's display and socket. The fallback
// knows no tab, so every domain comes from the extension.
struct Engine {
    Engine(const QByteArray& display, const QString& socketPath, const QString& logPath)
        : log(logPath, clock)
        , workspace(display, ApplicationResolver({u"/usr/share/applications"_s}, u"C"_s))
        , inputSources(display)
        , browsers(std::make_unique<BrowserExtensionBridge>(socketPath),
                   std::make_unique<SimBrowserScripting>(
                       QMap<QString, QString>{{u"chromium"_s, u"Chromium"_s}}),
                   {{u"firefox-esr"_s, u"Firefox ESR"_s}},
                   [activeWindow = std::make_shared<X11ActiveWindow>(display)] {
                       return activeWindow->read();
                   })
    {
    }

    SystemClock clock;
    EnforcementLog log;
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    X11Workspace workspace;
    XkbTextInputSources inputSources;
    ExtensionFirstBrowserScripting browsers;
    NotificationCenter notifications;
    WebsiteWatcher watcher{workspace, browsers, notifications};
    EnforcementController controller{store, watcher, inputSources, workspace, notifications, log};
};

} // namespace

// Korvalen's extension and native messaging host in Debian's browsers, on an X server of the
// test's own under openbox, with the real engine: a tab change made with the keyboard switches
// the XKB group to the website's rule, and the window in front decides the moment it changes.
class BrowserExtensionEnforcementTest : public ::testing::Test {
protected:
    ~BrowserExtensionEnforcementTest() override
    {
        openbox.kill();
        openbox.waitForFinished();
    }

    void SetUp() override
    {
        display = xvnc.displayName();
        ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
        ASSERT_EQ(QProcess::execute(u"setxkbmap"_s,
                                    {u"-display"_s, QString::fromLatin1(display), u"-layout"_s,
                                     u"us,ru,de"_s, u"-variant"_s, u",,nodeadkeys"_s}),
                  0);
        environment.insert(u"DISPLAY"_s, QString::fromLatin1(display));
        // The host finds Korvalen's socket in the runtime folder that the browser passes on.
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"HOME"_s, home.path());
        // No session bus: without the variable Firefox would start one, whose desktop portal then
        // mounts its documents into the runtime folder and outlives the test.
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s,
                           u"unix:path="_s + runtime.filePath(u"no-session-bus"_s));
        openbox.setProcessEnvironment(environment);
        openbox.start(u"openbox"_s, {u"--sm-disable"_s});
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return run(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s})
                    .contains("window id");
            },
            10000))
            << "openbox did not start";

        engine.emplace(display, runtime.filePath(u"korvalen-browser.socket"_s),
                       runtime.filePath(u"enforce.log"_s));
        engine->store.setDefaultSourceID(us);
        engine->store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
        engine->store.upsert(WebsiteRule{u"a.test"_s, ru, {}});
        engine->store.upsert(WebsiteRule{u"b.test"_s, de, {}});
        engine->controller.start();
    }

    // Runs a program on the test's display and returns its output.
    QByteArray run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.waitForFinished();
        return process.readAllStandardOutput();
    }

    QString current()
    {
        const auto source = InputSourceManager::currentSource(observer);
        return source ? source->id : QString();
    }

    QStringList logLines() const
    {
        return korvalen::testing::enforcementLogLines(runtime.filePath(u"enforce.log"_s));
    }

    // With the browser in front on one of the two sites: ctrl+Tab switches between them and each
    // switch takes the site's source; another window takes the default the moment it is in
    // front, and the browser its site's source again when that window goes.
    void checkTabSwitchesAndLeaving(const QString& browser)
    {
        const WebsiteWatcher& watcher = engine->watcher;
        const auto sourceFor = [](const QString& domain) {
            return domain == u"a.test"_s ? ru : de;
        };
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return engine->workspace.frontmostBundleID() == browser &&
                       watcher.currentDomain() && current() == sourceFor(*watcher.currentDomain());
            },
            60000))
            << "in front: "
            << engine->workspace.frontmostBundleID().value_or(u"none"_s).toStdString()
            << ", domain: " << watcher.currentDomain().value_or(u"none"_s).toStdString()
            << ", windows: "
            << run(u"xprop"_s, {u"-root"_s, u"_NET_ACTIVE_WINDOW"_s, u"_NET_CLIENT_LIST"_s})
                   .toStdString();

        QString shown = *watcher.currentDomain();
        std::vector<qint64> latencies;
        for (int i = 0; i < 8; ++i) {
            shown = shown == u"a.test"_s ? u"b.test"_s : u"a.test"_s;
            const QString wanted = sourceFor(shown);
            std::optional<qint64> latency;
            // From the start of xdotool, which adds its own few milliseconds.
            QElapsedTimer sinceKeypress;
            const Subscription switched = observer.subscribeToSelectedKeyboardSourceChanges([&] {
                if (!latency && current() == wanted)
                    latency = sinceKeypress.elapsed();
            });
            QProcess keys;
            keys.setProcessEnvironment(environment);
            sinceKeypress.start();
            keys.start(u"xdotool"_s, {u"key"_s, u"ctrl+Tab"_s});
            ASSERT_TRUE(QTest::qWaitFor([&] { return latency.has_value(); }, 10000))
                << "no switch to " << wanted.toStdString() << " for " << shown.toStdString()
                << "; current: " << current().toStdString();
            EXPECT_EQ(watcher.currentDomain(), shown);
            EXPECT_LE(*latency, switchBoundMilliseconds);
            latencies.push_back(*latency);
            keys.waitForFinished();
        }
        std::ranges::sort(latencies);
        const qint64 median = latencies.at(latencies.size() / 2);
        std::cout << browser.toStdString() << ": from ctrl+Tab to the XKB group change, median "
                  << median << " ms, slowest " << latencies.back() << " ms of " << latencies.size()
                  << '\n';
        EXPECT_LE(median, medianBoundMilliseconds);
        const QStringList log = logLines();
        EXPECT_TRUE(log.contains(u"website domain changed: a.test"_s));
        EXPECT_TRUE(log.contains(u"website domain changed: b.test"_s));

        // What the watcher knew when the workspace announced the terminal; heard after the
        // watcher and the enforcement, which subscribed earlier.
        std::optional<std::optional<QString>> domainAtActivation;
        const Subscription activations = engine->workspace.subscribeToActivations([&] {
            if (engine->workspace.frontmostBundleID() == terminal)
                domainAtActivation = watcher.currentDomain();
        });
        const qsizetype logBefore = log.size();
        QProcess xterm;
        xterm.setProcessEnvironment(environment);
        xterm.start(u"xterm"_s, {u"-name"_s, u"korvalen-terminal"_s, u"-class"_s, terminal});
        ASSERT_TRUE(QTest::qWaitFor([&] { return domainAtActivation.has_value(); }, 20000))
            << "openbox did not bring the terminal to the front";
        EXPECT_EQ(*domainAtActivation, std::nullopt) << "the terminal has no website";
        EXPECT_TRUE(QTest::qWaitFor([&] { return current() == us; }, 5000));
        for (const QString& line : logLines().mid(logBefore))
            EXPECT_FALSE(line.contains(u"front=KorvalenTerminal"_s) &&
                         line.contains(u"desired="_s + sourceFor(shown)))
                << "the site's source was chosen for the terminal: " << line.toStdString();

        xterm.kill();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return watcher.currentDomain() == shown && current() == sourceFor(shown); },
            5000))
            << "back in the browser: " << watcher.currentDomain().value_or(u"none"_s).toStdString();
    }

    XvncServer xvnc{QStringLiteral(KORVALEN_XVNC_FIXTURE)};
    QByteArray display;
    QTemporaryDir runtime; // 0700, as the runtime folder has to be
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess openbox;
    // The pages; the browsers map a.test and b.test to it.
    LocalWebServer site;
    std::optional<Engine> engine;
    // Another client of the server, which sees the group change as applications do.
    XkbTextInputSources observer{xvnc.displayName()};
};

TEST_F(BrowserExtensionEnforcementTest, Chromium)
{
    ChromiumBrowser chromium(
        {u"http://a.test/"_s, u"http://b.test/"_s},
        {.display = display,
         .arguments = {u"--log-level=3"_s,
                       u"--load-extension="_s + QStringLiteral(KORVALEN_BROWSER_EXTENSION_DIR),
                       u"--host-resolver-rules=MAP *.test 127.0.0.1:%1"_s.arg(site.port())},
         .profileFiles =
             {{u"NativeMessagingHosts/"_s + BrowserExtension::nativeHostName + u".json"_s,
               hostManifest(u"allowed_origins"_s,
                            u"chrome-extension://"_s + BrowserExtension::chromiumId + u'/')}},
         .environment = environment});
    ASSERT_TRUE(chromium.waitUntilReady());
    checkTabSwitchesAndLeaving(u"chromium"_s);
}

TEST_F(BrowserExtensionEnforcementTest, FirefoxEsr)
{
    ASSERT_TRUE(writeFile(home.filePath(u".mozilla/native-messaging-hosts/"_s +
                                        BrowserExtension::nativeHostName + u".json"_s),
                          hostManifest(u"allowed_extensions"_s, BrowserExtension::firefoxId)));
    // Firefox resolves the local domains to 127.0.0.1 but keeps the port of the address.
    const QString port = QString::number(site.port());
    FirefoxBrowser firefox({u"http://a.test:"_s + port + u'/', u"http://b.test:"_s + port + u'/'},
                           environment);
    ASSERT_TRUE(firefox.hasStarted());
    checkTabSwitchesAndLeaving(u"firefox-esr"_s);
}
