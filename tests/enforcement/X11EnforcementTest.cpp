#include "enforcement/EnforcementController.h"
#include "input/InputSourceManager.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XkbTextInputSources.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "support/FakeWindowManager.h"
#include "support/XvncServer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using korvalen::testing::FakeWindowManager;
using korvalen::testing::XvncServer;

namespace {
const QString us = QStringLiteral("xkb:us");
const QString ru = QStringLiteral("xkb:ru");
const QString de = QStringLiteral("xkb:de(nodeadkeys)");
} // namespace

// The engine on a real X server: a window manager's active window decides the XKB group, and a
// group change made by another client is undone while the default is locked.
TEST(X11Enforcement, ActiveWindowsGetTheirLayoutAndLockedUndoesOtherClientsChanges)
{
    const QByteArray display = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
    ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"),
                                {"-display", QString::fromLatin1(display), "-layout", "us,ru,de",
                                 "-variant", ",,nodeadkeys"}),
              0);
    FakeWindowManager windowManager(display);
    ASSERT_TRUE(windowManager.isConnected());
    windowManager.removeActiveWindow(); // whatever an earlier test left active is not ours
    const auto terminal = windowManager.createWindow("korvalen-terminal", "KorvalenTerminal");
    const auto chat = windowManager.createWindow("korvalen-chat", "KorvalenChat");
    windowManager.setClientList({terminal, chat});

    QTemporaryDir folder;
    XkbTextInputSources inputSources(display);
    XkbTextInputSources otherClient(display);
    X11Workspace workspace(display,
                           ApplicationResolver({folder.filePath(QStringLiteral("none"))}, {}));
    SimBrowserScripting browsers({});
    NotificationCenter notifications;
    WebsiteWatcher watcher(workspace, browsers, notifications);
    SimClock clock{QDateTime::currentDateTimeUtc()};
    EnforcementLog log(folder.filePath(QStringLiteral("enforce.log")), clock);
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(AppRule{QStringLiteral("KorvalenTerminal"), {}, ru, {}});
    store.upsert(AppRule{QStringLiteral("KorvalenChat"), {}, de, {}});
    store.setDefaultSourceID(us);
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    EnforcementController controller(store, watcher, inputSources, workspace, notifications, log);
    controller.start();

    const auto currentIs = [&](const QString& id) {
        return QTest::qWaitFor(
            [&] {
                const auto current = InputSourceManager::currentSource(inputSources);
                return current && current->id == id;
            },
            5000);
    };
    EXPECT_TRUE(currentIs(us)) << "the first pass holds the default";
    windowManager.activate(terminal);
    EXPECT_TRUE(currentIs(ru));
    windowManager.activate(chat);
    EXPECT_TRUE(currentIs(de));

    store.setAutoSwitchEnabled(false);
    EXPECT_TRUE(currentIs(us));
    int announcements = 0;
    const Subscription counter =
        inputSources.subscribeToSelectedKeyboardSourceChanges([&] { ++announcements; });
    ASSERT_TRUE(InputSourceManager::select(otherClient, ru));
    EXPECT_TRUE(QTest::qWaitFor([&] { return announcements >= 2; }, 5000))
        << "the other client's switch and our correction";
    EXPECT_TRUE(currentIs(us));
}
