#include "enforcement/EnforcementController.h"
#include "input/InputSourceManager.h"
#include "platform/linux/SwayTextInputSources.h"
#include "platform/linux/SwayWorkspace.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"

#include "platform/linux/SwaySession.h"
#include "platform/linux/TemporaryApplicationFolders.h"

#ifdef KORVALEN_KWIN_FIXTURE
#include "platform/linux/KdeKeyboardLayouts.h"
#include "platform/linux/KwinScriptWorkspace.h"

#include "platform/linux/KwinSession.h"
#endif

#ifdef KORVALEN_GNOME_SHELL_FIXTURE
#include "platform/linux/GnomeShellInputSources.h"
#include "platform/linux/GnomeShellWorkspace.h"

#include "platform/linux/GnomeShellSession.h"
#endif

#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::TemporaryApplicationFolders;

namespace {

const QString us = u"xkb:us"_s;
const QString de = u"xkb:de(nodeadkeys)"_s;

// Compositors start clients and pass focus at their own pace, more slowly on a loaded machine.
constexpr int patience = 10'000;

// The engine, with rules of the test's own, on a compositor's workspace and layouts.
class WaylandEnforcementTest : public ::testing::Test {
protected:
    void SetUp() override { store.setDefaultSourceID(us); }

    // Gives the application of a desktop entry of the test's own a rule.
    void addRule(const QString& bundleID, const QByteArray& name, const QString& sourceID,
                 const QByteArray& moreLines = {})
    {
        folders.writeApplication(u"applications/%1.desktop"_s.arg(bundleID), name, moreLines);
        store.upsert(AppRule{bundleID, QString::fromUtf8(name), sourceID, {}});
    }

    ApplicationResolver resolver() const
    {
        return ApplicationResolver({folders.path(u"applications"_s)}, QString(), u"/nonexistent"_s);
    }

    // The engine on a compositor's backends, which outlive it.
    struct Engine {
        Engine(const Workspace& workspace, TextInputSources& sources, RuleStore& store,
               const TemporaryApplicationFolders& folders)
            : sources(sources)
            , watcher(workspace, browsers, notifications)
            , log(folders.path(u"enforce.log"_s), clock)
            , controller(store, watcher, sources, workspace, notifications, log)
        {
            controller.start();
        }

        bool currentIs(const QString& id) const
        {
            return QTest::qWaitFor(
                [&] {
                    const auto current = InputSourceManager::currentSource(sources);
                    return current && current->id == id;
                },
                patience);
        }

        TextInputSources& sources;
        SimBrowserScripting browsers{{}};
        NotificationCenter notifications;
        WebsiteWatcher watcher;
        SimClock clock{QDateTime::currentDateTimeUtc()};
        EnforcementLog log;
        EnforcementController controller;
    };

    std::unique_ptr<Engine> start(const Workspace& workspace, TextInputSources& sources)
    {
        return std::make_unique<Engine>(workspace, sources, store, folders);
    }

    TemporaryApplicationFolders folders;
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
};

// Native windows by their app_id and an Xwayland window by its class, each given its layout
// through sway's IPC on the virtual keyboard.
TEST_F(WaylandEnforcementTest, SwayFocusSwitchesToEachWindowsLayout)
{
    korvalen::testing::SwaySession session{QStringLiteral(KORVALEN_SWAY_FIXTURE),
                                           QStringLiteral(KORVALEN_VIRTUAL_KEYBOARD)};
    addRule(u"korvalen.alpha"_s, "Alpha", de);
    addRule(u"korvalen.beta"_s, "Beta", us);
    addRule(u"korvalen-xterm"_s, "Terminal X", de, "StartupWMClass=XTerm\n");
    SwayWorkspace workspace(session.socketPath(), resolver());
    SwayTextInputSources sources(session.socketPath());
    // The virtual keyboard comes a moment after the compositor.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sources.enabledSources().size() == 2; }, patience));
    const auto engine = start(workspace, sources);

    const auto focus = [&](const QString& criteria, const QString& bundleID) {
        return session.command(criteria + u" focus"_s) &&
               QTest::qWaitFor([&] { return workspace.frontmostBundleID() == bundleID; }, patience);
    };
    for (const QString& appID : {u"korvalen.alpha"_s, u"korvalen.beta"_s}) {
        ASSERT_TRUE(session.command(u"exec foot --app-id=%1 sleep 600"_s.arg(appID)));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return workspace.frontmostBundleID() == appID; }, patience));
    }
    ASSERT_TRUE(session.command(u"exec xterm -e sleep 600"_s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return workspace.frontmostBundleID() == u"korvalen-xterm"_s; }, patience));
    EXPECT_TRUE(engine->currentIs(de));

    ASSERT_TRUE(focus(u"[app_id=korvalen.beta]"_s, u"korvalen.beta"_s));
    EXPECT_TRUE(engine->currentIs(us));
    ASSERT_TRUE(focus(u"[app_id=korvalen.alpha]"_s, u"korvalen.alpha"_s));
    EXPECT_TRUE(engine->currentIs(de));
    ASSERT_TRUE(focus(u"[app_id=korvalen.beta]"_s, u"korvalen.beta"_s));
    EXPECT_TRUE(engine->currentIs(us));
    ASSERT_TRUE(focus(u"[class=XTerm]"_s, u"korvalen-xterm"_s));
    EXPECT_TRUE(engine->currentIs(de));
}

#ifdef KORVALEN_KWIN_FIXTURE
// Windows reported by Korvalen's KWin script, layouts switched through KWin's keyboard service.
TEST_F(WaylandEnforcementTest, KwinFocusSwitchesToEachWindowsLayout)
{
    const QString flower = u"org.freedesktop.weston.flower"_s;
    const QString editor = u"org.freedesktop.weston.text-editor"_s;
    korvalen::testing::KwinSession session{QStringLiteral(KORVALEN_KWIN_FIXTURE)};
    addRule(flower, "Flower", de);
    addRule(editor, "Editor", us);
    KwinScriptWorkspace workspace(session.connect(u"workspace"_s), resolver());
    KdeKeyboardLayouts layouts(session.connect(u"layouts"_s), u"/nonexistent/kxkbrc"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.isReporting(); }, patience));
    const auto engine = start(workspace, layouts);

    int scripts = 0;
    const auto focus = [&](const QString& bundleID) {
        // KWin 5 calls windows clients; each script needs a name of its own.
        return session.runScript(
                   u"for (const c of workspace.clientList())"
                   "  if (c.resourceClass == '%1') workspace.activeClient = c;"_s.arg(bundleID),
                   u"focus-%1"_s.arg(++scripts)) &&
               QTest::qWaitFor([&] { return workspace.frontmostBundleID() == bundleID; }, patience);
    };
    ASSERT_TRUE(session.open(u"weston-flower"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == flower; }, patience));
    EXPECT_TRUE(engine->currentIs(de));
    ASSERT_TRUE(session.open(u"weston-editor"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return workspace.frontmostBundleID() == editor; }, patience));
    EXPECT_TRUE(engine->currentIs(us));

    ASSERT_TRUE(focus(flower));
    EXPECT_TRUE(engine->currentIs(de));
    ASSERT_TRUE(focus(editor));
    EXPECT_TRUE(engine->currentIs(us));
    ASSERT_TRUE(focus(flower));
    EXPECT_TRUE(engine->currentIs(de));
}
#endif

#ifdef KORVALEN_GNOME_SHELL_FIXTURE
// Windows and input sources from GNOME Shell through Korvalen's extension; a switch made in GNOME
// while a window with a rule is in front is noticed and undone.
TEST_F(WaylandEnforcementTest, GnomeFocusSwitchesGnomesInputSource)
{
    const QString alpha = u"io.github.korvalen.Alpha"_s;
    const QString beta = u"io.github.korvalen.Beta"_s;
    korvalen::testing::GnomeShellSession session{QStringLiteral(KORVALEN_GNOME_SHELL_FIXTURE),
                                                 {alpha, beta}};
    addRule(alpha, "Alpha", de);
    addRule(beta, "Beta", us);
    GnomeShellWorkspace workspace(session.connect(u"workspace"_s), resolver());
    GnomeShellInputSources sources(session.connect(u"sources"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sources.enabledSources().size() == 2; }, patience));
    const auto engine = start(workspace, sources);

    for (const QString& appID : {alpha, beta}) {
        ASSERT_TRUE(session.open(u"foot"_s, {u"--app-id="_s + appID, u"sleep"_s, u"600"_s}));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return workspace.frontmostBundleID() == appID; }, patience));
        EXPECT_TRUE(engine->currentIs(appID == alpha ? de : us));
    }
    for (const QString& appID : {alpha, beta, alpha}) {
        ASSERT_TRUE(session.activate(appID));
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return workspace.frontmostBundleID() == appID; }, patience));
        EXPECT_TRUE(engine->currentIs(appID == alpha ? de : us));
    }

    // The user picks English in GNOME's menu (here: another client of the extension).
    QStringList seen;
    const Subscription changes = sources.subscribeToSelectedKeyboardSourceChanges([&] {
        if (const auto current = InputSourceManager::currentSource(sources))
            seen.append(current->id);
    });
    const QDBusMessage picked = session.connect(u"menu"_s).call(
        QDBusMessage::createMethodCall(GnomeShellExtension::serviceName,
                                       GnomeShellExtension::objectPath,
                                       GnomeShellExtension::interfaceName, u"ActivateSource"_s)
        << quint32(0));
    ASSERT_EQ(picked.type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.contains(us) && seen.last() == de; }, patience))
        << qPrintable(seen.join(u' '));
}
#endif

} // namespace
