#include "rules/RuleStore.h"
#include "platform/Platform.h"
#include "platform/sim/InMemoryUserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <vector>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

AppRule appRule(const QString& bundleID, const QString& sourceID = u"xkb:us"_s)
{
    return {bundleID, bundleID + u" app"_s, sourceID, sourceID + u" name"_s};
}

WebsiteRule websiteRule(const QString& domain, const QString& sourceID = u"xkb:us"_s)
{
    return {domain, sourceID, sourceID + u" name"_s};
}

QStringList bundleIDs(const QList<AppRule>& rules)
{
    QStringList ids;
    for (const AppRule& rule : rules)
        ids.append(rule.bundleID);
    return ids;
}

QStringList platformWarnings;

void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        platformWarnings.append(message);
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
    EXPECT_EQ(rawValue(GlobalFallbackMode::defaultOnly), u"defaultOnly"_s);
    for (const char* text : {"Locked", "DEFAULTONLY", "defaultonly", "", " locked", "locked\n"})
        EXPECT_EQ(globalFallbackModeFromRawValue(QString::fromLatin1(text)), std::nullopt) << text;
}

TEST(RuleStoreUpsert, ReplacesInPlaceOrAppendsForAppAndWebsiteRules)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(appRule(u"a"_s));
    store.upsert(appRule(u"b"_s));
    store.upsert(appRule(u"c"_s));

    const AppRule replacement{u"b"_s, u"Renamed"_s, u"xkb:ru"_s, u"Russian"_s};
    store.upsert(replacement);
    EXPECT_EQ(bundleIDs(store.rules()), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(store.rules().at(1), replacement) << "all four fields replaced, position kept";

    store.upsert(appRule(u"d"_s));
    EXPECT_EQ(bundleIDs(store.rules()), (QStringList{"a", "b", "c", "d"}));

    store.upsert(websiteRule(u"example.com"_s));
    store.upsert(websiteRule(u"github.com"_s));
    store.upsert(websiteRule(u"example.com"_s, u"xkb:de"_s));
    EXPECT_EQ(store.websiteRules(), (QList<WebsiteRule>{websiteRule(u"example.com"_s, "xkb:de"),
                                                        websiteRule(u"github.com"_s)}));
}

TEST(RuleStoreLookup, MatchesWholeKeysCaseSensitively)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(appRule(u"com.example.Editor"_s));
    store.upsert(websiteRule(u"example.com"_s));

    EXPECT_TRUE(store.ruleForBundleID(u"com.example.Editor"_s));
    EXPECT_FALSE(store.ruleForBundleID(u"com.example.editor"_s));
    EXPECT_FALSE(store.ruleForBundleID(u"com.example"_s));
    EXPECT_FALSE(store.ruleForBundleID(QString()));

    EXPECT_TRUE(store.websiteRuleForDomain(u"example.com"_s));
    EXPECT_FALSE(store.websiteRuleForDomain(u"www.example.com"_s));
    EXPECT_FALSE(store.websiteRuleForDomain(u"Example.com"_s));
    EXPECT_FALSE(store.websiteRuleForDomain(u"example.com."_s));
}

TEST(RuleStoreDuplicates, StoredDuplicateKeysFirstFoundFirstReplacedAllRemoved)
{
    AppRule first = appRule(u"dup"_s, u"xkb:us"_s);
    AppRule second = appRule(u"dup"_s, u"xkb:ru"_s);
    InMemoryUserDefaults defaults(storedRules({first, appRule(u"x"_s), second}));
    RuleStore store(defaults);
    ASSERT_EQ(store.rules().size(), 3) << "a stored list is taken as it is";

    EXPECT_EQ(store.ruleForBundleID(u"dup"_s), first);

    const AppRule replacement = appRule(u"dup"_s, u"xkb:de"_s);
    store.upsert(replacement);
    EXPECT_EQ(store.rules(), (QList<AppRule>{replacement, appRule(u"x"_s), second}));

    store.removeRuleForBundleID(u"dup"_s);
    EXPECT_EQ(store.rules(), QList<AppRule>{appRule(u"x"_s)});
}

TEST(RuleStoreRemove, RemovingAnAbsentKeyStillAnnouncesAndSaves)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(websiteRule(u"a.com"_s));
    int announcements = 0;
    const Subscription s = store.subscribeToChanges([&] { ++announcements; });
    const int writesBefore = defaults.writeCount();

    store.removeWebsiteRuleForDomain(u"b.com"_s);
    EXPECT_EQ(store.websiteRules().size(), 1);
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(defaults.writeCount(), writesBefore + 1);
}

TEST(RuleStoreNotifications, EveryChangeSignalsStoreWideThenStreamWithNewStateVisible)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    std::vector<QString> events;
    const Subscription wide = store.subscribeToChanges(
        [&] { events.push_back(u"changed:"_s + rawValue(store.globalFallbackMode())); });
    const Subscription stream =
        store.globalFallbackModeStream().subscribeToChanges([&](GlobalFallbackMode mode) {
            // Runs before the value is saved.
            events.push_back(u"stream:"_s + rawValue(mode) + u" saved:"_s +
                             defaults.stringForKey(RuleStore::fallbackModeKey).value_or("-"));
        });

    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    store.setGlobalFallbackMode(GlobalFallbackMode::locked);
    EXPECT_EQ(events, (std::vector<QString>{"changed:locked", "stream:locked saved:-",
                                            "changed:locked", "stream:locked saved:locked"}))
        << "assigning the current value announces again";
    EXPECT_EQ(defaults.writeCount(), 2) << "and saves again";
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

    store.upsert(appRule(u"a"_s));
    store.removeRuleForBundleID(u"a"_s);
    store.upsert(websiteRule(u"a.com"_s));
    store.setLanguageOverride(u"ar"_s);
    store.setDefaultSourceID(u"xkb:us"_s);
    store.setDefaultSourceDisplayName(u"English (US)"_s);
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

// The process-wide store keeps a reference into the installed platform for as long as the program
// runs, so a platform offered later is refused, and said to be, rather than replacing it.
TEST(RuleStoreShared, ASecondPlatformIsRefusedAndTheSharedStoreKeepsSavingToTheFirst)
{
    const auto platformWithSettingsInMemory = [] {
        auto platform = std::make_unique<Platform>();
        platform->userDefaults = std::make_unique<InMemoryUserDefaults>();
        return platform;
    };
    Platform::install(platformWithSettingsInMemory());
    const Platform& installed = Platform::shared();
    RuleStore::shared().setLanguageOverride(u"de"_s); // the store now refers into `installed`

    platformWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    Platform::install(platformWithSettingsInMemory());
    qInstallMessageHandler(previous);
    ASSERT_EQ(&Platform::shared(), &installed);
    EXPECT_EQ(platformWarnings.size(), 1);

    RuleStore::shared().setLanguageOverride(u"fr"_s);
    EXPECT_EQ(installed.userDefaults->stringForKey(RuleStore::languageOverrideKey), u"fr"_s);
}
