#include "StatusMenuFixture.h"

#include "platform/QSettingsUserDefaults.h"
#include "support/TemporaryFolder.h"

using namespace korvalen;
using namespace korvalen::testing;

namespace {

const QString terminal = u"org.gnome.Terminal"_s;

class StatusMenuActionsTest : public StatusMenuFixture {
protected:
    void bringToFront(std::optional<QString> bundleID, const QString& name)
    {
        workspace.activate(RunningApplication{
            .bundleID = std::move(bundleID), .localizedName = name, .bundlePath = {}});
    }

    // What no action may do when it fails.
    void expectNothingStored(int writesBefore)
    {
        EXPECT_EQ(defaults.writeCount(), writesBefore);
        EXPECT_EQ(store.rules(), QList<AppRule>());
        EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::disabled);
    }
};

} // namespace

TEST_F(StatusMenuActionsTest, LockHoldsTheCurrentSourceAndUnlockKeepsIt)
{
    store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
    actions.lockCurrentSource();
    EXPECT_EQ(store.defaultSourceID(), u"xkb:us"_s);
    EXPECT_EQ(store.defaultSourceDisplayName(), u"English (US)"_s);
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::locked);

    actions.disableLock();
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::disabled);
    EXPECT_EQ(store.defaultSourceID(), u"xkb:us"_s) << "kept for a later choice of mode";
    EXPECT_EQ(store.defaultSourceDisplayName(), u"English (US)"_s);

    store.setLanguageOverride(u"en"_s);
    actions.lockCurrentSource();
    actions.disableLock();
    EXPECT_EQ(notices,
              (QStringList{u"✓ 已锁定：当前输入法「English (US)」已锁定，切换应用不会再被带走。"_s,
                           u"✓ 已解除锁定"_s,
                           u"✓ Locked：“English (US)” is locked; switching apps won't change it "
                           u"anymore."_s,
                           u"✓ Unlocked"_s}));
}

TEST_F(StatusMenuActionsTest, LockWithoutAReadableSourceChangesNothing)
{
    inputSources.setCurrentKeyboardSource(nullptr);
    const int writes = defaults.writeCount();
    actions.lockCurrentSource();
    expectNothingStored(writes);
    EXPECT_EQ(store.defaultSourceID(), std::nullopt);
    EXPECT_EQ(notices, QStringList{u"✓ 锁定失败：无法读取当前输入法状态。"_s});
}

TEST_F(StatusMenuActionsTest, ToggleAutoSwitchFlipsAndSavesEachTimeWithoutANotice)
{
    const bool first = store.isAutoSwitchEnabled();
    const int writes = defaults.writeCount();
    actions.toggleAutoSwitch();
    EXPECT_EQ(store.isAutoSwitchEnabled(), !first);
    actions.toggleAutoSwitch();
    EXPECT_EQ(store.isAutoSwitchEnabled(), first);
    EXPECT_EQ(defaults.writeCount(), writes + 2);
    EXPECT_EQ(notices, QStringList());
}

TEST_F(StatusMenuActionsTest, AddRuleRecordsTheCurrentSourceAndReplacesInPlace)
{
    store.upsert(AppRule{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s});
    store.upsert(AppRule{u"firefox-esr"_s, u"Firefox"_s, u"xkb:ru"_s, u"Russian"_s});
    bringToFront(terminal, u"Terminal"_s);
    actions.addRuleForFrontmostApp();
    bringToFront(u"org.example.Nameless"_s, QString());
    actions.addRuleForFrontmostApp();

    EXPECT_EQ(store.rules(), (QList<AppRule>{
                                 {terminal, u"Terminal"_s, u"xkb:us"_s, u"English (US)"_s},
                                 {u"firefox-esr"_s, u"Firefox"_s, u"xkb:ru"_s, u"Russian"_s},
                                 {u"org.example.Nameless"_s, u"org.example.Nameless"_s, u"xkb:us"_s,
                                  u"English (US)"_s},
                             }));
    EXPECT_EQ(notices, (QStringList{u"✓ 已添加规则：「Terminal」→「English (US)」"_s,
                                    u"✓ 已添加规则：「org.example.Nameless」→「English (US)」"_s}));
}

TEST_F(StatusMenuActionsTest, AddRuleFailuresSayWhyAndChangeNothing)
{
    const int writes = defaults.writeCount();
    actions.addRuleForFrontmostApp();
    bringToFront(std::nullopt, u"xterm"_s);
    actions.addRuleForFrontmostApp();
    bringToFront(std::nullopt, QString());
    actions.addRuleForFrontmostApp();
    bringToFront(terminal, u"Terminal"_s);
    inputSources.setCurrentKeyboardSource(nullptr);
    actions.addRuleForFrontmostApp();
    store.setLanguageOverride(u"en"_s);
    bringToFront(std::nullopt, QString());
    actions.addRuleForFrontmostApp();

    expectNothingStored(writes + 1); // the language choice only
    EXPECT_EQ(notices,
              (QStringList{
                  u"✓ 添加规则失败：取不到当前前台应用，请切到目标 App 后再点一次。"_s,
                  u"✓ 添加规则失败：「xterm」没有 bundle identifier，无法建立规则。"_s,
                  u"✓ 添加规则失败：「这个应用」没有 bundle identifier，无法建立规则。"_s,
                  u"✓ 添加规则失败：无法读取当前输入法状态。"_s,
                  u"✓ Couldn't add rule：“This app” has no app identifier, so no rule can be made "
                  u"for it."_s,
              }));
}

TEST_F(StatusMenuActionsTest, SelectLanguageStoresTheCodeAndFollowingTheSystemRemovesIt)
{
    actions.selectLanguage(u"ar"_s);
    EXPECT_EQ(defaults.values().value(RuleStore::languageOverrideKey), u"ar"_s);
    actions.selectLanguage(std::nullopt);
    EXPECT_FALSE(defaults.values().contains(RuleStore::languageOverrideKey));
    EXPECT_EQ(notices, QStringList());
}

TEST(StatusMenuActionsWithAFailingDisk, TheChangeAppliesAndIsReportedAsMade)
{
    // A regular file where the settings folder should be: every save fails.
    TemporaryFolder folder;
    const QString blocker = folder.write(u"blocker"_s, "not a folder");
    auto defaults = QSettingsUserDefaults::inIniFile(blocker + u"/Korvalen/Korvalen.conf"_s);
    RuleStore store(*defaults);
    SimulatedTextInputSources inputSources;
    inputSources.setCurrentKeyboardSource(inputSources.addEnabledSource(
        SimulatedTextInputSources::keyboardLayout(u"xkb:de"_s, u"German"_s)));
    SimWorkspace workspace;
    workspace.activate(terminal);
    QStringList notices;
    StatusMenuActions actions(store, inputSources, workspace, Localizer(std::nullopt, store, {}),
                              [&](const QString& message) { notices.append(message); });

    actions.lockCurrentSource();
    actions.addRuleForFrontmostApp();

    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::locked);
    EXPECT_EQ(store.rules().size(), 1);
    EXPECT_EQ(notices,
              (QStringList{u"✓ 已锁定：当前输入法「German」已锁定，切换应用不会再被带走。"_s,
                           u"✓ 已添加规则：「org.gnome.Terminal」→「German」"_s}));
}
