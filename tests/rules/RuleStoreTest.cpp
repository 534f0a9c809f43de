#include "rules/RuleStore.h"
#include "platform/sim/InMemoryUserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <vector>

using namespace korvalen;

namespace {

AppRule appRule(const QString& bundleID, const QString& sourceID = QStringLiteral("xkb:us"))
{
    return {bundleID, bundleID + QStringLiteral(" app"), sourceID,
            sourceID + QStringLiteral(" name")};
}

WebsiteRule websiteRule(const QString& domain, const QString& sourceID = QStringLiteral("xkb:us"))
{
    return {domain, sourceID, sourceID + QStringLiteral(" name")};
}

QStringList bundleIDs(const QList<AppRule>& rules)
{
    QStringList ids;
    for (const AppRule& rule : rules)
        ids.append(rule.bundleID);
    return ids;
}

QVariantMap storedRules(const QList<AppRule>& rules)
{
    QJsonArray array;
    for (const AppRule& rule : rules)
        array.append(rule.toJson());
    return {{RuleStore::rulesKey, QJsonDocument(array).toJson(QJsonDocument::Compact)}};
}

} // namespace

TEST(GlobalFallbackMode, RawValuesRoundTripAndOnlyExactTextsMakeAMode)
{
    for (auto mode : {GlobalFallbackMode::locked, GlobalFallbackMode::defaultOnly,
                      GlobalFallbackMode::disabled})
        EXPECT_EQ(globalFallbackModeFromRawValue(rawValue(mode)), mode);
    EXPECT_EQ(rawValue(GlobalFallbackMode::defaultOnly), QStringLiteral("defaultOnly"));
    for (const char* text : {"Locked", "DEFAULTONLY", "defaultonly", "", " locked", "locked\n"})
        EXPECT_EQ(globalFallbackModeFromRawValue(QString::fromLatin1(text)), std::nullopt) << text;
}

TEST(RuleStoreUpsert, ReplacesInPlaceOrAppends)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(appRule(QStringLiteral("a")));
    store.upsert(appRule(QStringLiteral("b")));
    store.upsert(appRule(QStringLiteral("c")));

    const AppRule replacement{QStringLiteral("b"), QStringLiteral("Renamed"),
                              QStringLiteral("xkb:ru"), QStringLiteral("Russian")};
    store.upsert(replacement);
    EXPECT_EQ(bundleIDs(store.rules()), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(store.rules().at(1), replacement) << "all four fields replaced, position kept";

    store.upsert(appRule(QStringLiteral("d")));
    EXPECT_EQ(bundleIDs(store.rules()), (QStringList{"a", "b", "c", "d"}));
}

TEST(RuleStoreUpsert, WebsiteRulesFollowTheSameRules)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(websiteRule(QStringLiteral("example.com")));
    store.upsert(websiteRule(QStringLiteral("github.com")));
    store.upsert(websiteRule(QStringLiteral("example.com"), QStringLiteral("xkb:de")));
    ASSERT_EQ(store.websiteRules().size(), 2);
    EXPECT_EQ(store.websiteRules().at(0), websiteRule(QStringLiteral("example.com"), "xkb:de"));
    EXPECT_EQ(store.websiteRules().at(1).domain, QStringLiteral("github.com"));
}

TEST(RuleStoreLookup, MatchesWholeKeysCaseSensitively)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(appRule(QStringLiteral("com.example.Editor")));
    store.upsert(websiteRule(QStringLiteral("example.com")));

    EXPECT_TRUE(store.ruleForBundleID(QStringLiteral("com.example.Editor")));
    EXPECT_FALSE(store.ruleForBundleID(QStringLiteral("com.example.editor")));
    EXPECT_FALSE(store.ruleForBundleID(QStringLiteral("com.example")));
    EXPECT_FALSE(store.ruleForBundleID(QString()));

    EXPECT_TRUE(store.websiteRuleForDomain(QStringLiteral("example.com")));
    EXPECT_FALSE(store.websiteRuleForDomain(QStringLiteral("www.example.com")));
    EXPECT_FALSE(store.websiteRuleForDomain(QStringLiteral("Example.com")));
    EXPECT_FALSE(store.websiteRuleForDomain(QStringLiteral("example.com.")));
}

TEST(RuleStoreDuplicates, StoredDuplicateKeysFirstFoundFirstReplacedAllRemoved)
{
    AppRule first = appRule(QStringLiteral("dup"), QStringLiteral("xkb:us"));
    AppRule second = appRule(QStringLiteral("dup"), QStringLiteral("xkb:ru"));
    InMemoryUserDefaults defaults(storedRules({first, appRule(QStringLiteral("x")), second}));
    RuleStore store(defaults);
    ASSERT_EQ(store.rules().size(), 3) << "a stored list is taken as it is";

    EXPECT_EQ(store.ruleForBundleID(QStringLiteral("dup")), first);

    const AppRule replacement = appRule(QStringLiteral("dup"), QStringLiteral("xkb:de"));
    store.upsert(replacement);
    EXPECT_EQ(store.rules(), (QList<AppRule>{replacement, appRule(QStringLiteral("x")), second}));

    store.removeRuleForBundleID(QStringLiteral("dup"));
    EXPECT_EQ(store.rules(), QList<AppRule>{appRule(QStringLiteral("x"))});
}

TEST(RuleStoreRemove, RemovingAnAbsentKeyStillAnnouncesAndSaves)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(websiteRule(QStringLiteral("a.com")));
    int announcements = 0;
    const Subscription s = store.subscribeToChanges([&] { ++announcements; });
    const int writesBefore = defaults.writeCount();

    store.removeWebsiteRuleForDomain(QStringLiteral("b.com"));
    EXPECT_EQ(store.websiteRules().size(), 1);
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(defaults.writeCount(), writesBefore + 1);
}

TEST(RuleStoreNotifications, EveryChangeSignalsStoreWideThenStreamWithNewStateVisible)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    std::vector<QString> events;
    const Subscription wide = store.subscribeToChanges([&] {
        events.push_back(QStringLiteral("changed:") + rawValue(store.globalFallbackMode()));
    });
    const Subscription stream =
        store.globalFallbackModeStream().subscribeToChanges([&](GlobalFallbackMode mode) {
            // Runs before the value is saved.
            events.push_back(QStringLiteral("stream:") + rawValue(mode) +
                             QStringLiteral(" saved:") +
                             defaults.stringForKey(RuleStore::fallbackModeKey).value_or("-"));
        });

    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    EXPECT_EQ(events, (std::vector<QString>{"changed:locked", "stream:locked saved:-",
                                            "changed:locked", "stream:locked saved:locked"}))
        << "assigning the current value announces again";
    EXPECT_EQ(defaults.writeCount(), 2) << "and saves again";
}

TEST(RuleStoreNotifications, StreamsHandTheCurrentValueToANewSubscriber)
{
    InMemoryUserDefaults defaults({{RuleStore::defaultSourceKey, QStringLiteral("xkb:ru")}});
    RuleStore store(defaults);
    std::vector<std::optional<QString>> seen;
    const Subscription s = store.defaultSourceIDStream().subscribe(
        [&](const std::optional<QString>& id) { seen.push_back(id); });
    store.setDefaultSourceID(std::nullopt);
    EXPECT_EQ(seen, (std::vector<std::optional<QString>>{QStringLiteral("xkb:ru"), std::nullopt}));
}

TEST(RuleStoreNotifications, EachPropertyAnnouncesOnlyOnItsOwnStream)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    std::map<QString, int> calls;
    std::vector<Subscription> subscriptions;
    const auto count = [&](const char* name) {
        return [&calls, name](const auto&) { ++calls[QString::fromLatin1(name)]; };
    };
    subscriptions.push_back(store.rulesStream().subscribeToChanges(count("rules")));
    subscriptions.push_back(store.websiteRulesStream().subscribeToChanges(count("websiteRules")));
    subscriptions.push_back(store.languageOverrideStream().subscribeToChanges(count("language")));
    subscriptions.push_back(store.defaultSourceIDStream().subscribeToChanges(count("id")));
    subscriptions.push_back(
        store.defaultSourceDisplayNameStream().subscribeToChanges(count("name")));
    subscriptions.push_back(store.globalFallbackModeStream().subscribeToChanges(count("mode")));
    subscriptions.push_back(store.autoSwitchEnabledStream().subscribeToChanges(count("auto")));
    int wide = 0;
    subscriptions.push_back(store.subscribeToChanges([&] { ++wide; }));

    store.upsert(appRule(QStringLiteral("a")));
    store.removeRuleForBundleID(QStringLiteral("a"));
    store.upsert(websiteRule(QStringLiteral("a.com")));
    store.setLanguageOverride(QStringLiteral("ar"));
    store.setDefaultSourceID(QStringLiteral("xkb:us"));
    store.setDefaultSourceDisplayName(QStringLiteral("English (US)"));
    store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
    store.setAutoSwitchEnabled(false);

    EXPECT_EQ(calls, (std::map<QString, int>{{"rules", 2},
                                             {"websiteRules", 1},
                                             {"language", 1},
                                             {"id", 1},
                                             {"name", 1},
                                             {"mode", 1},
                                             {"auto", 1}}));
    EXPECT_EQ(wide, 8);
}

TEST(RuleStoreNotifications, CreationAnnouncesNothingAndDroppedTokensHearNothing)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    int calls = 0;
    {
        const Subscription s = store.subscribeToChanges([&] { ++calls; });
    }
    store.setAutoSwitchEnabled(false);
    EXPECT_EQ(calls, 0);
}
