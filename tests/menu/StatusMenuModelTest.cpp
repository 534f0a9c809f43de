#include "StatusMenuFixture.h"

using namespace korvalen;
using namespace korvalen::testing;

namespace {

// One menu line as text: "---" for a separator, "> title" for the submenu, otherwise the title
// with "[x]" or "[ ]" in front of a checkable line, "(disabled)" after a disabled one and the
// command after an arrow.
QString describe(const StatusMenuItem& item)
{
    using Kind = StatusMenuItem::Kind;
    if (item.kind == Kind::separator)
        return u"---"_s;
    if (item.kind == Kind::languageSubmenu)
        return u"> "_s + item.title;
    QString line = item.isCheckable ? (item.isChecked ? u"[x] "_s : u"[ ] "_s) : QString();
    line += item.title;
    if (!item.isEnabled)
        line += u" (disabled)"_s;
    static const QStringList actionNames{u""_s,
                                         u"lockCurrentSource"_s,
                                         u"disableLock"_s,
                                         u"toggleAutoSwitch"_s,
                                         u"addRuleForFrontmostApp"_s,
                                         u"openRulesWindow"_s,
                                         u"selectLanguage"_s,
                                         u"quit"_s};
    if (item.action != StatusMenuAction::none)
        line += u" -> "_s + actionNames.at(static_cast<int>(item.action));
    return line;
}

QStringList describe(const QList<StatusMenuItem>& items)
{
    QStringList lines;
    for (const StatusMenuItem& item : items)
        lines.append(describe(item));
    return lines;
}

using StatusMenuModelTest = StatusMenuFixture;

} // namespace

TEST_F(StatusMenuModelTest, FreshSettingsInChinese)
{
    EXPECT_EQ(describe(model.items()), (QStringList{
                                           u"Korvalen (disabled)"_s,
                                           u"---"_s,
                                           u"未启用全局默认输入法 (disabled)"_s,
                                           u"锁定当前输入法 -> lockCurrentSource"_s,
                                           u"---"_s,
                                           u"[x] 按 App 自动切换 -> toggleAutoSwitch"_s,
                                           u"为当前 App 添加规则… -> addRuleForFrontmostApp"_s,
                                           u"管理规则… -> openRulesWindow"_s,
                                           u"---"_s,
                                           u"> 语言"_s,
                                           u"---"_s,
                                           u"退出 Korvalen -> quit"_s,
                                       }));
}

TEST_F(StatusMenuModelTest, LockedWithoutANameInEnglishCountingOnlyAppRules)
{
    store.setLanguageOverride(u"en"_s);
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    store.setAutoSwitchEnabled(false);
    store.upsert(AppRule{u"org.gnome.Terminal"_s, u"Terminal"_s, u"xkb:us"_s, u"English (US)"_s});
    store.upsert(WebsiteRule{u"example.com"_s, u"xkb:ru"_s, u"Russian"_s});

    EXPECT_EQ(describe(model.items()), (QStringList{
                                           u"Korvalen (disabled)"_s,
                                           u"---"_s,
                                           u"Locked: Unknown input source (disabled)"_s,
                                           u"Unlock -> disableLock"_s,
                                           u"---"_s,
                                           u"[ ] Switch Automatically by App -> toggleAutoSwitch"_s,
                                           u"Add Rule for Current App… -> addRuleForFrontmostApp"_s,
                                           u"Manage Rules… (1) -> openRulesWindow"_s,
                                           u"---"_s,
                                           u"> Language"_s,
                                           u"---"_s,
                                           u"Quit Korvalen -> quit"_s,
                                       }));
}

TEST_F(StatusMenuModelTest, StateLineShowsTheStoredNameForEachMode)
{
    // The line reports the setting as stored, even for an identifier no keyboard has.
    store.setDefaultSourceID(u"xkb:gone"_s);
    store.setDefaultSourceDisplayName(u"ABC"_s);
    const struct {
        GlobalFallbackMode mode;
        QString stateLine;
        QString lockCommand;
    } rows[] = {
        {GlobalFallbackMode::locked, u"锁定中：ABC"_s, u"解除锁定"_s},
        {GlobalFallbackMode::defaultOnly, u"默认选择：ABC"_s, u"锁定当前输入法"_s},
        {GlobalFallbackMode::disabled, u"未启用全局默认输入法"_s, u"锁定当前输入法"_s},
    };
    for (const auto& row : rows) {
        store.setGlobalFallbackMode(row.mode);
        const auto items = model.items();
        EXPECT_EQ(items.at(2).title, row.stateLine);
        EXPECT_EQ(items.at(3).title, row.lockCommand);
    }
    store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
    store.setDefaultSourceDisplayName(std::nullopt);
    EXPECT_EQ(model.items().at(2).title, u"默认选择：未知输入法"_s);
}

TEST_F(StatusMenuModelTest, ManageRulesCountsAppRulesOnly)
{
    for (const QString& domain : {u"a.example"_s, u"b.example"_s, u"c.example"_s})
        store.upsert(WebsiteRule{domain, u"xkb:ru"_s, u"Russian"_s});
    EXPECT_EQ(model.items().at(7).title, u"管理规则…"_s);
    for (const QString& app : {u"one"_s, u"two"_s})
        store.upsert(AppRule{app, app, u"xkb:us"_s, u"English (US)"_s});
    EXPECT_EQ(model.items().at(7).title, u"管理规则…（2 条）"_s);

    int withShortcut = 0;
    for (const StatusMenuItem& item : model.items())
        withShortcut += item.hasPreferencesShortcut ? 1 : 0;
    EXPECT_EQ(withShortcut, 1);
    EXPECT_TRUE(model.items().at(7).hasPreferencesShortcut);
}

TEST_F(StatusMenuModelTest, LanguageSubmenuMarksTheChosenLanguageOnly)
{
    auto checked = [this] {
        QStringList titles;
        for (const StatusMenuItem& item : model.languageItems()) {
            if (item.isChecked)
                titles.append(item.title);
        }
        return titles;
    };
    const auto entries = model.languageItems();
    ASSERT_EQ(entries.size(), 19);
    EXPECT_EQ(describe(entries.first()), u"[x] 跟随系统 -> selectLanguage"_s);
    EXPECT_EQ(entries.first().languageCode, std::nullopt);
    QStringList codes;
    for (const StatusMenuItem& entry : entries.sliced(1))
        codes.append(entry.languageCode.value_or(u"none"_s));
    EXPECT_EQ(codes, (QStringList{u"zh-Hans"_s, u"zh-Hant"_s, u"en"_s, u"ja"_s, u"ko"_s, u"ru"_s,
                                  u"ar"_s, u"he"_s, u"el"_s, u"th"_s, u"vi"_s, u"fr"_s, u"de"_s,
                                  u"es"_s, u"pt"_s, u"it"_s, u"id"_s, u"ms"_s}));
    EXPECT_EQ(entries.at(7).title, u"العربية"_s);

    store.setLanguageOverride(u"de"_s);
    EXPECT_EQ(checked(), QStringList{u"Deutsch"_s});
    EXPECT_EQ(model.languageItems().first().title, u"Wie im System"_s)
        << "only the first entry is translated";
    EXPECT_EQ(model.languageItems().at(13).title, u"Deutsch"_s);

    store.setLanguageOverride(u"pt-BR"_s);
    EXPECT_EQ(checked(), QStringList()) << "a regional variant is none of the entries";
    EXPECT_FALSE(model.isRightToLeft());
    store.setLanguageOverride(u"he"_s);
    EXPECT_TRUE(model.isRightToLeft());
}
