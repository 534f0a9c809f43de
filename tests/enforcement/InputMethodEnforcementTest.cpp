#include "enforcement/EnforcementController.h"
#include "input/InputSourceManager.h"
#include "platform/linux/AutomaticTextInputSources.h"
#include "platform/linux/Fcitx5TextInputSources.h"
#include "platform/linux/IbusTextInputSources.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XkbTextInputSources.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "support/FakeWindowManager.h"
#include "support/Fcitx5Client.h"
#include "support/Fcitx5Daemon.h"
#include "support/IbusDaemon.h"
#include "support/IbusSession.h"
#include "support/XvncServer.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <optional>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using korvalen::testing::FakeWindowManager;
using korvalen::testing::Fcitx5Client;
using korvalen::testing::Fcitx5Daemon;
using korvalen::testing::IbusDaemon;
using korvalen::testing::IbusSession;
using korvalen::testing::XvncServer;

namespace {

[[maybe_unused]] const ::testing::Environment* const session = ::testing::AddGlobalTestEnvironment(
    new IbusSession(u"['xkb:us::eng', 'xkb:ru::rus', 'xkb:de::deu']"_s));

// Daemons start and answer within seconds, and Korvalen follows them at its next call or news.
bool waitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

} // namespace

// The engine on a real X server with the input method daemons coming and going under it, as at
// login, when they and Korvalen start in no set order: each daemon is taken up as it comes, in
// the automatic choice's order, and the rules land on the windows brought to the front.
TEST(InputMethodEnforcement, DaemonsComingAndGoingAreTakenUpAndRulesLandOnTheWindowInFront)
{
    const QByteArray display = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
    ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
    // IBus names its address file after the display, on both sides.
    qputenv("DISPLAY", display);
    FakeWindowManager windowManager(display);
    ASSERT_TRUE(windowManager.isConnected());
    windowManager.removeActiveWindow(); // whatever an earlier test left active is not ours
    const auto terminal = windowManager.createWindow("korvalen-terminal", "KorvalenTerminal");
    const auto chat = windowManager.createWindow("korvalen-chat", "KorvalenChat");
    windowManager.setClientList({terminal, chat});

    QTemporaryDir folder;
    std::vector<std::unique_ptr<InputMethodFramework>> frameworks;
    frameworks.push_back(std::make_unique<Fcitx5TextInputSources>());
    frameworks.push_back(std::make_unique<IbusTextInputSources>());
    AutomaticTextInputSources inputSources(
        std::move(frameworks), std::make_unique<XkbTextInputSources>(display), u"XKB"_s);
    // The backend in use at each announcement of a change.
    QStringList announced;
    const Subscription listening = inputSources.subscribeToSelectedKeyboardSourceChanges(
        [&] { announced.append(inputSources.backendInUseName()); });
    X11Workspace workspace(display, ApplicationResolver({folder.filePath(u"none"_s)}, {}));
    SimBrowserScripting browsers({});
    NotificationCenter notifications;
    WebsiteWatcher watcher(workspace, browsers, notifications);
    SimClock clock{QDateTime::currentDateTimeUtc()};
    EnforcementLog log(folder.filePath(u"enforce.log"_s), clock);
    // Which pass saw what and switched to what, for a failure.
    const auto showLogOnFailure = qScopeGuard([&] {
        QFile file(folder.filePath(u"enforce.log"_s));
        if (::testing::Test::HasFailure() && file.open(QIODevice::ReadOnly))
            std::cerr << "Enforcement log:\n" << file.readAll().toStdString();
    });
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    // A rule names a source by its backend's identifier.
    store.upsert(AppRule{u"KorvalenTerminal"_s, {}, u"xkb:ru::rus"_s, {}});
    EnforcementController controller(store, watcher, inputSources, workspace, notifications, log);
    controller.start();
    const auto currentID = [&] {
        return InputSourceManager::currentSource(inputSources)
            .value_or(InputSource{u"(none)"_s, {}, {}})
            .id;
    };

    std::optional<::testing::ScopedTrace> step; // names the step in failure messages
    step.emplace(__FILE__, __LINE__, "a. no input method daemon runs");
    EXPECT_EQ(inputSources.backendInUseName(), "XKB");

    step.emplace(__FILE__, __LINE__, "b. ibus-daemon starts after Korvalen");
    IbusDaemon ibus(IbusSession::busFolder());
    ASSERT_TRUE(ibus.isReady()) << "ibus-daemon did not start";
    ASSERT_TRUE(waitFor([&] { return inputSources.backendInUseName() == "IBus"; }));
    // The daemon has no engine until a panel sets one or an input context takes the focus, and
    // Korvalen does not switch from a source it cannot read; the test sets one, as a panel does.
    ASSERT_TRUE(ibus.setGlobalEngine(u"xkb:us::eng"_s));
    ASSERT_TRUE(waitFor([&] { return currentID() == "xkb:us::eng"; })) << qPrintable(currentID());
    windowManager.activate(terminal);
    EXPECT_TRUE(waitFor([&] { return currentID() == "xkb:ru::rus"; })) << qPrintable(currentID());
    EXPECT_EQ(IbusDaemon::globalEngine(), "xkb:ru::rus") << "the daemon's engine, not only ours";

    step.emplace(__FILE__, __LINE__,
                 "c. fcitx5 starts as well, and windows focus their input contexts late");
    Fcitx5Daemon fcitx5({"keyboard-us", "keyboard-ru", "keyboard-de"});
    ASSERT_TRUE(fcitx5.start()) << fcitx5.log().toStdString();
    ASSERT_TRUE(waitFor([&] { return announced.contains(u"fcitx5"_s); }))
        << "fcitx5 is preferred to IBus: " << qPrintable(inputSources.backendInUseName());
    store.upsert(AppRule{u"KorvalenChat"_s, {}, u"keyboard-de"_s, {}});
    store.upsert(AppRule{u"KorvalenTerminal"_s, {}, u"keyboard-ru"_s, {}});
    Fcitx5Client applications;
    const QString chatContext = applications.createContext(u"korvalen-chat"_s);
    const QString terminalContext = applications.createContext(u"korvalen-terminal"_s);
    ASSERT_FALSE(chatContext.isEmpty());
    ASSERT_FALSE(terminalContext.isEmpty());
    QObject scope; // ends the delayed focus changes with the test
    QString focused;
    // A window's context takes the focus a moment after the window came to the front, as a real
    // application's does; from the context that still has it, if any.
    const auto focusLater = [&](const QString& context, const QString& from = {}) {
        QTimer::singleShot(100, &scope, [&, context, from] {
            if (!from.isEmpty())
                applications.focusOut(from);
            applications.focusIn(context);
            focused = context;
        });
    };
    const auto landedOn = [&](const QString& context, const QString& inputMethod) {
        return waitFor(
            [&] { return focused == context && applications.currentInputMethod() == inputMethod; });
    };

    // No input context has had the focus yet when the chat window comes to the front.
    windowManager.activate(chat);
    focusLater(chatContext);
    EXPECT_TRUE(landedOn(chatContext, u"keyboard-de"_s))
        << qPrintable(applications.currentInputMethod());

    // The chat window's context has lost the focus when the terminal window comes to the front.
    applications.focusOut(chatContext);
    windowManager.activate(terminal);
    focusLater(terminalContext);
    EXPECT_TRUE(landedOn(terminalContext, u"keyboard-ru"_s))
        << qPrintable(applications.currentInputMethod());

    // The terminal window's context still has the focus when the chat window comes back. fcitx5
    // keeps per context only whether it uses the group's first input method or the one switched
    // to last, which all contexts share, so the chat window's own is its rule applied again.
    windowManager.activate(chat);
    focusLater(chatContext, terminalContext);
    EXPECT_TRUE(landedOn(chatContext, u"keyboard-de"_s))
        << qPrintable(applications.currentInputMethod());

    step.emplace(__FILE__, __LINE__, "d. fcitx5 stops while IBus still runs");
    announced.clear();
    fcitx5.stop();
    EXPECT_TRUE(waitFor([&] { return announced.contains(u"IBus"_s); }))
        << qPrintable(inputSources.backendInUseName());
    EXPECT_EQ(currentID(), "xkb:ru::rus") << "IBus's engine, untouched while fcitx5 was in use";
}
