#include "enforcement/EnforcementController.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "support/EnforcementLogLines.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace korvalen;
using Trigger = EnforcementController::Trigger;

namespace {

const QString chrome = QStringLiteral("google-chrome");
const QString terminal = QStringLiteral("org.gnome.Terminal");
const QString us = QStringLiteral("xkb:us");
const QString ru = QStringLiteral("xkb:ru");
const QString de = QStringLiteral("xkb:de(nodeadkeys)");
const QString abc = EnforcementController::capsLockCompanionSourceID;

class EnforcementTest : public ::testing::Test {
protected:
    QTemporaryDir folder;
    SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(8, 0), QTimeZone::utc())};
    EnforcementLog log{folder.filePath(QStringLiteral("enforce.log")), clock};
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SimWorkspace workspace;
    SimBrowserScripting browsers{{{chrome, QStringLiteral("Google Chrome")}}};
    NotificationCenter notifications;
    WebsiteWatcher watcher{workspace, browsers, notifications};
    SimulatedTextInputSources inputSources;
    QMap<QString, TextInputSources::Handle> sources;
    EnforcementController controller{store, watcher, inputSources, workspace, notifications, log};

    EnforcementTest()
    {
        for (const QString& id : {us, ru, de, abc})
            sources.insert(id,
                           inputSources.addEnabledSource(SimulatedTextInputSources::keyboardLayout(
                               id, id + QStringLiteral(" name"))));
        inputSources.setCurrentKeyboardSource(sources.value(us));
    }

    // Lets the platform's deferred change announcements, and the passes they start, run out.
    void settle()
    {
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
    }

    // The log lines without their time stamps, and forgets them.
    QStringList takeLog()
    {
        const QString path = folder.filePath(QStringLiteral("enforce.log"));
        const QStringList lines = korvalen::testing::enforcementLogLines(path);
        QFile::resize(path, 0);
        return lines;
    }

    QString current()
    {
        return inputSources.identifier(inputSources.currentKeyboardSource()).value_or(QString());
    }

    // The user switches by hand; the platform announces it.
    void switchByHand(const QString& id)
    {
        inputSources.setCurrentKeyboardSource(sources.value(id));
        inputSources.announceSelectedKeyboardSourceChanged();
        settle();
    }

    void setDefault(const QString& id, GlobalFallbackMode mode)
    {
        store.setDefaultSourceID(id);
        store.setGlobalFallbackMode(mode);
    }

    void showSite(const QString& url)
    {
        browsers.setTabURL(QStringLiteral("Google Chrome"), url);
        watcher.poll();
        settle();
    }
};

} // namespace

TEST_F(EnforcementTest, FallbackTableForBothTriggers)
{
    struct Row {
        GlobalFallbackMode mode;
        std::optional<QString> onActivation;
        std::optional<QString> onSourceChange;
    };
    const Row rows[] = {
        {GlobalFallbackMode::locked, ru, ru},
        {GlobalFallbackMode::defaultOnly, ru, std::nullopt},
        {GlobalFallbackMode::disabled, std::nullopt, std::nullopt},
    };
    workspace.activate(terminal);
    for (const Row& row : rows) {
        store.setGlobalFallbackMode(row.mode);
        store.setDefaultSourceID(ru);
        EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), row.onActivation)
            << rawValue(row.mode).toStdString();
        EXPECT_EQ(controller.desiredSourceID(Trigger::inputSourceChanged), row.onSourceChange)
            << rawValue(row.mode).toStdString();
        store.setDefaultSourceID(std::nullopt);
        EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), std::nullopt)
            << "no default, no fallback";
        EXPECT_EQ(controller.desiredSourceID(Trigger::inputSourceChanged), std::nullopt);
    }
}

TEST_F(EnforcementTest, WebsiteRuleBeatsAppRuleWhichBeatsTheFallbackWhileSwitchingByAppIsOn)
{
    setDefault(us, GlobalFallbackMode::locked);
    store.upsert(AppRule{chrome, QStringLiteral("Chrome"), ru, {}});
    store.upsert(WebsiteRule{QStringLiteral("zh.wikipedia.org"), de, {}});
    workspace.activate(chrome);
    EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), ru);

    browsers.setTabURL(QStringLiteral("Google Chrome"),
                       QStringLiteral("https://zh.wikipedia.org/wiki/"));
    watcher.poll();
    EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), de);
    EXPECT_EQ(controller.desiredSourceID(Trigger::inputSourceChanged), de);

    store.setAutoSwitchEnabled(false);
    EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), de)
        << "website rules ignore the switch";
    browsers.setTabURL(QStringLiteral("Google Chrome"),
                       QStringLiteral("https://en.wikipedia.org/"));
    watcher.poll();
    EXPECT_EQ(controller.desiredSourceID(Trigger::appActivated), us)
        << "app rule skipped, fallback decides";
}

TEST_F(EnforcementTest, TypicalActivationLogsThreeLinesAndTheLoopEndsWithOurOwnSwitch)
{
    store.upsert(AppRule{terminal, QStringLiteral("Terminal"), ru, {}});
    controller.start();
    settle();
    takeLog();

    workspace.activate(terminal);
    settle();
    EXPECT_EQ(current(), ru);
    EXPECT_EQ(
        takeLog(),
        (QStringList{
            "app activated: org.gnome.Terminal",
            "enforce(appActivated): front=org.gnome.Terminal current=xkb:us desired=xkb:ru",
            "  -> select(xkb:ru) returned true",
            "TIS input source changed notification fired",
            "enforce(inputSourceChanged): front=org.gnome.Terminal current=xkb:ru desired=xkb:ru",
        }));
}

TEST_F(EnforcementTest, ASourceKeptPerWindowIsSelectedOnActivationWhateverReadsAsCurrent)
{
    store.upsert(AppRule{terminal, QStringLiteral("Terminal"), us, {}});
    controller.start();
    settle();
    EXPECT_TRUE(inputSources.selectRequests().isEmpty());

    inputSources.setKeepsSourcePerWindow(true);
    workspace.activate(terminal);
    settle();
    EXPECT_EQ(inputSources.selectRequests().size(), 1)
        << "what reads as current may still be the last window's";
    switchByHand(us);
    EXPECT_EQ(inputSources.selectRequests().size(), 1) << "a change itself is not an activation";

    inputSources.setCurrentKeyboardSource(nullptr);
    workspace.activate(terminal);
    settle();
    EXPECT_EQ(inputSources.selectRequests().size(), 2) << "nor is an unknown current source";
}

TEST_F(EnforcementTest, LockedRevertsManualChangesExceptToTheCapsLockCompanion)
{
    controller.start();
    setDefault(de, GlobalFallbackMode::locked);
    settle();
    EXPECT_EQ(current(), de) << "the setting change itself runs a pass";
    EXPECT_TRUE(inputSources.changeNotificationsNeeded()) << "a drift would be corrected";

    switchByHand(ru);
    EXPECT_EQ(current(), de);

    takeLog();
    switchByHand(abc);
    EXPECT_EQ(current(), abc);
    EXPECT_EQ(takeLog(),
              (QStringList{
                  "TIS input source changed notification fired",
                  "enforce(inputSourceChanged): front=nil current=com.apple.keylayout.ABC "
                  "desired=xkb:de(nodeadkeys)",
                  "  -> skip correction: current is ABC (likely IME caps-lock companion layout)"}));

    workspace.activate(terminal);
    settle();
    EXPECT_EQ(current(), de) << "an activation corrects the companion like any other source";
}

TEST_F(EnforcementTest, DefaultOnlySetsTheDefaultOnEntryAndLetsManualChangesStand)
{
    setDefault(de, GlobalFallbackMode::defaultOnly);
    controller.start();
    settle();
    EXPECT_EQ(current(), de);

    takeLog();
    switchByHand(ru);
    EXPECT_EQ(current(), ru);
    EXPECT_EQ(takeLog().last(),
              "enforce(inputSourceChanged): front=nil current=xkb:ru desired=nil");
    EXPECT_FALSE(inputSources.changeNotificationsNeeded()) << "nothing would act on a drift";

    workspace.activate(terminal);
    settle();
    EXPECT_EQ(current(), de);
    store.upsert(AppRule{terminal, QStringLiteral("Terminal"), ru, {}});
    settle();
    EXPECT_TRUE(inputSources.changeNotificationsNeeded()) << "the front application's rule would";
}

TEST_F(EnforcementTest, DisabledAndNoDefaultLeaveTheSourceAlone)
{
    controller.start();
    workspace.activate(terminal);
    switchByHand(ru);
    EXPECT_EQ(current(), ru);
    EXPECT_TRUE(inputSources.selectRequests().isEmpty());
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    settle();
    EXPECT_EQ(current(), ru) << "locked without a default has nothing to hold";
    EXPECT_EQ(takeLog().last(),
              "enforce(appActivated): front=org.gnome.Terminal current=xkb:ru desired=nil");
}

TEST_F(EnforcementTest, UnreadableCurrentSourceOrDesiredSourceNotEnabledStopsWithoutLooping)
{
    controller.start();
    settle();
    inputSources.setCurrentKeyboardSource(nullptr);
    setDefault(ru, GlobalFallbackMode::locked);
    settle();
    EXPECT_TRUE(inputSources.selectRequests().isEmpty())
        << "no switch while the current source is unknown";

    inputSources.setCurrentKeyboardSource(sources.value(us));
    takeLog();
    store.setDefaultSourceID(QStringLiteral("xkb:fr"));
    settle();
    EXPECT_EQ(takeLog(),
              (QStringList{"enforce(appActivated): front=nil current=xkb:us desired=xkb:fr",
                           "  -> select(xkb:fr) returned false"}));
    EXPECT_TRUE(inputSources.selectRequests().isEmpty());
}

TEST_F(EnforcementTest, RefusedSwitchIsLoggedOnceAndNotRetried)
{
    inputSources.setSelectStatus(-50);
    store.upsert(AppRule{terminal, {}, ru, {}});
    controller.start();
    takeLog();
    workspace.activate(terminal);
    settle();
    const QStringList lines = takeLog();
    EXPECT_EQ(lines.last(), "  -> select(xkb:ru) returned false");
    EXPECT_EQ(lines.size(), 3);
    EXPECT_EQ(current(), us);
}

TEST_F(EnforcementTest, EachEnforcedSettingChangeRunsOnePassThatSeesTheNewValue)
{
    controller.start();
    settle();
    takeLog();
    store.setDefaultSourceID(ru); // disabled: the pass runs but desires nothing
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    store.setDefaultSourceDisplayName(QStringLiteral("Russian")); // not enforced
    store.setLanguageOverride(QStringLiteral("ar"));              // not enforced
    store.setAutoSwitchEnabled(true);
    store.upsert(AppRule{QStringLiteral("x"), {}, de, {}});
    const QStringList lines = takeLog();
    EXPECT_EQ(lines.filter(QStringLiteral("enforce(appActivated)")).size(), 4);
    EXPECT_EQ(lines.at(0), "enforce(appActivated): front=nil current=xkb:us desired=nil");
    EXPECT_EQ(lines.at(1), "enforce(appActivated): front=nil current=xkb:us desired=xkb:ru");
}

TEST_F(EnforcementTest, FirstAndLastWebsiteRuleTurnPollingOnAndOffBeforeTheirPass)
{
    controller.start();
    EXPECT_FALSE(watcher.isPolling());
    store.upsert(WebsiteRule{QStringLiteral("github.com"), ru, {}});
    EXPECT_TRUE(watcher.isPolling());
    workspace.activate(chrome);
    showSite(QStringLiteral("https://github.com/"));
    EXPECT_EQ(current(), ru);

    takeLog();
    store.removeWebsiteRuleForDomain(QStringLiteral("github.com"));
    EXPECT_FALSE(watcher.isPolling());
    EXPECT_EQ(takeLog(),
              QStringList{"enforce(appActivated): front=google-chrome current=xkb:ru desired=nil"})
        << "the pass already sees no domain";
}

TEST_F(EnforcementTest, PollingFollowsTheWebsiteRulesTheStoreHoldsWhenASubscriberChangesThem)
{
    // Heard before the controller: a subscriber that takes back a website rule as it is added.
    const Subscription takeBack =
        store.websiteRulesStream().subscribeToChanges([&](const QList<WebsiteRule>& rules) {
            if (!rules.isEmpty())
                store.removeWebsiteRuleForDomain(rules.first().domain);
        });
    controller.start();
    std::vector<bool> pollingWhenHeard;
    const Subscription observer = store.websiteRulesStream().subscribeToChanges(
        [&](const QList<WebsiteRule>&) { pollingWhenHeard.push_back(watcher.isPolling()); });

    store.upsert(WebsiteRule{QStringLiteral("github.com"), ru, {}});
    EXPECT_TRUE(store.websiteRules().isEmpty());
    EXPECT_FALSE(watcher.isPolling());
    EXPECT_EQ(pollingWhenHeard, (std::vector<bool>{false, false}))
        << "never polling while the store holds no website rule";
}

TEST_F(EnforcementTest, LeavingAndEnteringTheBrowserDecideTheSourceAtTheActivation)
{
    store.upsert(WebsiteRule{QStringLiteral("github.com"), ru, {}});
    store.upsert(AppRule{terminal, {}, de, {}});
    controller.start();
    browsers.setTabURL(QStringLiteral("Google Chrome"), QStringLiteral("https://github.com/"));
    workspace.activate(chrome);
    settle();
    EXPECT_EQ(current(), ru);

    takeLog();
    workspace.activate(terminal);
    settle();
    EXPECT_EQ(takeLog().mid(0, 4),
              (QStringList{"website domain changed: nil",
                           "enforce(appActivated): front=org.gnome.Terminal current=xkb:ru "
                           "desired=xkb:de(nodeadkeys)",
                           "  -> select(xkb:de(nodeadkeys)) returned true",
                           "app activated: org.gnome.Terminal"}))
        << "the site's source is never chosen for the terminal";

    workspace.activate(chrome);
    settle();
    EXPECT_EQ(current(), ru);
    EXPECT_EQ(inputSources.selectRequests().size(), 3) << "the site's, the terminal's, the site's";
}
