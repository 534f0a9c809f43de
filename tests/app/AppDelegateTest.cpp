#include "app/AppDelegate.h"
#include "localization/Localizer.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimBrowserScripting.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "support/TemporaryFolder.h"
#include "usage/UsageBaselineTracker.h"
#include "website/WebsiteWatcher.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;

namespace {

// Input sources that note, at each switch, whether the tray was up by then.
class SwitchWitness final : public TextInputSources {
public:
    SimulatedTextInputSources sources;
    std::function<bool()> isTrayUp;
    QList<bool> trayUpAtSwitches;

    QList<Handle> enabledSources() override { return sources.enabledSources(); }
    Handle currentKeyboardSource() override { return sources.currentKeyboardSource(); }
    int select(const Handle& source) override
    {
        trayUpAtSwitches.append(isTrayUp());
        return sources.select(source);
    }
    std::optional<bool> isSelectCapable(const Handle& s) const override
    {
        return sources.isSelectCapable(s);
    }
    std::optional<QString> category(const Handle& s) const override { return sources.category(s); }
    std::optional<QString> identifier(const Handle& s) const override
    {
        return sources.identifier(s);
    }
    std::optional<QString> localizedName(const Handle& s) const override
    {
        return sources.localizedName(s);
    }
    std::optional<QString> inputMethodBundleID(const Handle& s) const override
    {
        return sources.inputMethodBundleID(s);
    }
    std::optional<QUrl> iconURL(const Handle& s) const override { return sources.iconURL(s); }
};

class AppDelegateTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SwitchWitness inputSources;
    SimWorkspace workspace;
    SimBrowserScripting browsers{{}};
    NotificationCenter notifications;
    WebsiteWatcher watcher{workspace, browsers, notifications};
    SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(9, 0))};
    UsageBaselineTracker tracker{defaults, workspace, inputSources, clock, store};
    FeedbackHUD hud;
    int rulesWindowOpenings = 0;
    AppDelegate delegate{{store,
                          inputSources,
                          workspace,
                          watcher,
                          notifications,
                          tracker,
                          hud,
                          Localizer(std::nullopt, store, {}),
                          clock,
                          folder.path(u"enforce.log"_s),
                          {},
                          [this] { ++rulesWindowOpenings; }}};

    AppDelegateTest()
    {
        auto& sim = inputSources.sources;
        sim.setCurrentKeyboardSource(sim.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(u"xkb:us"_s, u"English (US)"_s)));
        sim.addEnabledSource(SimulatedTextInputSources::keyboardLayout(u"xkb:ru"_s, u"Russian"_s));
        inputSources.isTrayUp = [this] { return delegate.statusMenu().statusItem() != nullptr; };
    }
};

} // namespace

TEST_F(AppDelegateTest, TheTrayIsUpBeforeTheFirstSwitchAndTheRulesWindowOpensWithoutATray)
{
    store.setDefaultSourceID(u"xkb:ru"_s);
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has none";

    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(inputSources.trayUpAtSwitches, QList<bool>{true}) << "the first pass switched";
    EXPECT_EQ(rulesWindowOpenings, 1) << "the settings can be reached without a tray";
}

TEST_F(AppDelegateTest, TheEditMenuSendsItsCommandsToTheFocusedField)
{
    delegate.applicationDidFinishLaunching();
    const QList<QAction*> menus = delegate.mainMenu().actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(menus.first()->text(), u"Edit"_s);
    const QList<QAction*> commands = menus.first()->menu()->actions();
    QStringList titles;
    for (const QAction* command : commands)
        titles.append(command->text() + u' ' + command->shortcut().toString());
    EXPECT_EQ(titles, (QStringList{u"Cut Ctrl+X"_s, u"Copy Ctrl+C"_s, u"Paste Ctrl+V"_s,
                                   u"Select All Ctrl+A"_s}));

    QLineEdit field(u"example.com"_s);
    field.show();
    field.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
    field.setFocus();
    commands.at(3)->trigger();
    EXPECT_EQ(field.selectedText(), u"example.com"_s);
    commands.at(0)->trigger();
    EXPECT_EQ(field.text(), QString());
    commands.at(2)->trigger();
    EXPECT_EQ(field.text(), u"example.com"_s);
}
