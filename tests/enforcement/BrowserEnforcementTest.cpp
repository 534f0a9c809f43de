#include "enforcement/EnforcementController.h"
#include "input/InputSourceManager.h"
#include "platform/linux/ChromiumDevTools.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "support/ChromiumBrowser.h"
#include "support/LocalWebServer.h"

#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::ChromiumBrowser;
using korvalen::testing::LocalWebServer;

// The whole road from a real browser's tab to a switch: Debian's Chromium shows a page served
// here, the watcher reads its host through DevTools, and the website rule for that host beats
// the browser's own application rule until the user leaves the browser.
TEST(BrowserEnforcement, WebsiteRuleForTheShownHostWinsWhileTheBrowserIsInFront)
{
    LocalWebServer site;
    ChromiumBrowser browser(site.url(QStringLiteral("/docs")));
    ASSERT_TRUE(browser.waitUntilReady());
    ChromiumDevTools devTools(
        {{QStringLiteral("chromium"), QStringLiteral("Chromium"), browser.profileFolder()}});

    QTemporaryDir folder;
    SimClock clock{QDateTime::currentDateTimeUtc()};
    EnforcementLog log(folder.filePath(QStringLiteral("enforce.log")), clock);
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    SimWorkspace workspace;
    NotificationCenter notifications;
    WebsiteWatcher watcher(workspace, devTools, notifications);
    SimulatedTextInputSources inputSources;
    for (const char* id : {"xkb:us", "xkb:ru", "xkb:de"})
        inputSources.addEnabledSource(SimulatedTextInputSources::keyboardLayout(
            QString::fromLatin1(id), QString::fromLatin1(id)));
    inputSources.setCurrentKeyboardSource(inputSources.enabledSources().first());
    const auto current = [&] { return InputSourceManager::currentSource(inputSources)->id; };

    store.upsert(WebsiteRule{QStringLiteral("127.0.0.1"), QStringLiteral("xkb:ru"), {}});
    store.upsert(AppRule{
        QStringLiteral("chromium"), QStringLiteral("Chromium"), QStringLiteral("xkb:de"), {}});
    EnforcementController controller(store, watcher, inputSources, workspace, notifications, log);
    controller.start();
    EXPECT_TRUE(watcher.isPolling());

    workspace.activate(QStringLiteral("chromium"));
    EXPECT_EQ(current(), QStringLiteral("xkb:de")) << "the browser's own rule until it answers";
    EXPECT_TRUE(QTest::qWaitFor([&] { return current() == QStringLiteral("xkb:ru"); }, 20000));
    EXPECT_EQ(watcher.currentDomain(), QStringLiteral("127.0.0.1"));

    workspace.activate(QStringLiteral("org.gnome.Terminal"));
    EXPECT_EQ(watcher.currentDomain(), std::nullopt) << "leaving the browser clears it at once";
}
