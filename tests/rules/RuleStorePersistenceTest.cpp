#include "platform/QSettingsUserDefaults.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "rules/RuleStore.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString unreadableRulesKey = RuleStore::rulesKey + u".unreadable"_s;

const AppRule terminal{u"org.gnome.Terminal"_s, u"终端"_s, u"xkb:us"_s, u"English (US)"_s};
const WebsiteRule wiki{u"zh.wikipedia.org"_s, u"xkb:cn"_s, u"中文"_s};

QJsonArray parsedArray(const QVariant& stored)
{
    return QJsonDocument::fromJson(stored.toByteArray()).array();
}

// Assigns `given` while another subscriber replaces it by `corrected` as soon as it is announced,
// as a subscriber that normalises a setting would; returns what a later subscriber heard.
template <typename T, typename Setter>
std::vector<T> assignCorrected(RuleStore& store, const Published<T>& stream, Setter set,
                               const T& given, const T& corrected)
{
    const Subscription corrector = stream.subscribeToChanges([&](const T& value) {
        if (value == given)
            (store.*set)(corrected);
    });
    std::vector<T> heard;
    const Subscription listener =
        stream.subscribeToChanges([&](const T& value) { heard.push_back(value); });
    (store.*set)(given);
    return heard;
}

} // namespace

TEST(RuleStoreLoading, FirstLaunchGivesTheDefaultsAndWritesNothing)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    EXPECT_TRUE(store.rules().isEmpty());
    EXPECT_TRUE(store.websiteRules().isEmpty());
    EXPECT_EQ(store.languageOverride(), std::nullopt);
    EXPECT_EQ(store.defaultSourceID(), std::nullopt);
    EXPECT_EQ(store.defaultSourceDisplayName(), std::nullopt);
    EXPECT_TRUE(store.isAutoSwitchEnabled());
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::disabled);
    EXPECT_EQ(defaults.writeCount(), 0);
}

TEST(RuleStoreLoading, ReadsEveryStoredSetting)
{
    InMemoryUserDefaults defaults({
        {RuleStore::languageOverrideKey, u"zh-Hant"_s},
        {RuleStore::defaultSourceKey, u"xkb:de(nodeadkeys)"_s},
        {RuleStore::defaultSourceNameKey, u"German (no dead keys)"_s},
        {RuleStore::autoSwitchEnabledKey, false},
        {RuleStore::fallbackModeKey, u"defaultOnly"_s},
        {RuleStore::rulesKey,
         QByteArray(R"([{"bundleID":"org.gnome.Terminal","appDisplayName":"终端",)"
                    R"j("inputSourceID":"xkb:us","inputSourceDisplayName":"English (US)"}])j")},
        {RuleStore::websiteRulesKey,
         QByteArray(
             R"([{"inputSourceDisplayName":"中文","domain":"zh.wikipedia.org","inputSourceID":"xkb:cn"}])")},
    });
    const QVariantMap before = defaults.values();
    RuleStore store(defaults);
    EXPECT_EQ(store.languageOverride(), u"zh-Hant"_s);
    EXPECT_EQ(store.defaultSourceID(), u"xkb:de(nodeadkeys)"_s);
    EXPECT_EQ(store.defaultSourceDisplayName(), u"German (no dead keys)"_s);
    EXPECT_FALSE(store.isAutoSwitchEnabled());
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::defaultOnly);
    EXPECT_EQ(store.rules(), QList<AppRule>{terminal});
    EXPECT_EQ(store.websiteRules(), QList<WebsiteRule>{wiki});
    EXPECT_EQ(defaults.values(), before);
    EXPECT_EQ(defaults.writeCount(), 0);
}

TEST(RuleStoreLoading, FallbackModeComesFromTheModeEntryThenTheLegacyLockThenDisabled)
{
    struct Case {
        QVariantMap stored;
        GlobalFallbackMode expected;
    };
    const auto mode = [](const char* text) {
        return std::pair{RuleStore::fallbackModeKey, QVariant(QString::fromLatin1(text))};
    };
    const auto legacy = [](const QVariant& value) {
        return std::pair{RuleStore::legacyLockEnabledKey, value};
    };
    const std::vector<Case> cases{
        {{legacy(true)}, GlobalFallbackMode::locked},
        {{legacy(false)}, GlobalFallbackMode::disabled},
        {{legacy(u"true"_s)}, GlobalFallbackMode::locked}, // as INI files store it
        {{mode("defaultOnly"), legacy(true)}, GlobalFallbackMode::defaultOnly},
        {{mode("disabled"), legacy(true)}, GlobalFallbackMode::disabled},
        {{mode("Locked")}, GlobalFallbackMode::disabled},
        {{mode("Locked"), legacy(true)}, GlobalFallbackMode::locked},
        {{mode("")}, GlobalFallbackMode::disabled},
        {{{RuleStore::fallbackModeKey, QByteArray("locked")}}, GlobalFallbackMode::disabled},
    };
    for (const Case& c : cases) {
        InMemoryUserDefaults defaults(c.stored);
        RuleStore store(defaults);
        EXPECT_EQ(store.globalFallbackMode(), c.expected)
            << QVariant(c.stored).toString().toStdString();
        EXPECT_EQ(defaults.values(), c.stored) << "the derived mode is not written back";
    }
}

TEST(RuleStoreLoading, AutoSwitchIsTrueOnlyWhenAbsentOrStoredTrue)
{
    for (const auto& [stored, expected] : std::vector<std::pair<QVariant, bool>>{
             {true, true}, {false, false}, {u"false"_s, false}, {u"x"_s, false}}) {
        InMemoryUserDefaults defaults({{RuleStore::autoSwitchEnabledKey, stored}});
        EXPECT_EQ(RuleStore(defaults).isAutoSwitchEnabled(), expected)
            << stored.toString().toStdString();
    }
}

TEST(RuleStoreLoading, TextSettingsOfAnotherKindCountAsAbsent)
{
    InMemoryUserDefaults defaults(
        {{RuleStore::languageOverrideKey, QByteArray("ar")}, {RuleStore::defaultSourceKey, 42}});
    RuleStore store(defaults);
    EXPECT_EQ(store.languageOverride(), std::nullopt);
    EXPECT_EQ(store.defaultSourceID(), std::nullopt);
}

TEST(RuleStoreLoading, ExtraMembersAreIgnoredAndEmptyStringsAccepted)
{
    InMemoryUserDefaults defaults(
        {{RuleStore::websiteRulesKey, QByteArray(R"([{"domain":"","inputSourceID":"xkb:us",)"
                                                 R"("inputSourceDisplayName":"","note":7}])")}});
    RuleStore store(defaults);
    EXPECT_EQ(store.websiteRules(), (QList<WebsiteRule>{{QString(), u"xkb:us"_s, QString()}}));
}

TEST(RuleStoreSaving, WritesCompactUtf8JsonWithEveryMemberAndNoExtras)
{
    InMemoryUserDefaults defaults(
        {{RuleStore::rulesKey,
          QByteArray(R"([{"bundleID":"org.gnome.Terminal","appDisplayName":"终端",)"
                     R"j("inputSourceID":"xkb:us","inputSourceDisplayName":"English (US)",)j"
                     R"("extra":"dropped"}])")}});
    RuleStore store(defaults);
    store.upsert(AppRule{u"a\"b"_s, QString(), u"xkb:ru"_s, u"Русский"_s});

    const QByteArray bytes = defaults.dataForKey(RuleStore::rulesKey).value();
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_FALSE(bytes.contains(": "));
    EXPECT_TRUE(bytes.contains("终端")) << "UTF-8, not escaped";
    const QJsonArray array = QJsonDocument::fromJson(bytes).array();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array.at(0).toObject(), terminal.toJson()) << "the extra member is gone";
    EXPECT_EQ(
        array.at(1).toObject().keys(),
        (QStringList{"appDisplayName", "bundleID", "inputSourceDisplayName", "inputSourceID"}));
    EXPECT_EQ(array.at(1)["bundleID"].toString(), u"a\"b"_s);
}

TEST(RuleStoreSaving, EveryListChangeRewritesTheListAndTheLastRemovalLeavesAnEmptyArray)
{
    InMemoryUserDefaults defaults;
    RuleStore store(defaults);
    store.upsert(wiki);
    EXPECT_EQ(parsedArray(defaults.values().value(RuleStore::websiteRulesKey)).size(), 1);
    store.removeWebsiteRuleForDomain(wiki.domain);
    EXPECT_EQ(defaults.dataForKey(RuleStore::websiteRulesKey), QByteArray("[]"));
    EXPECT_FALSE(defaults.hasObjectForKey(RuleStore::rulesKey)) << "the other list is untouched";
}

TEST(RuleStoreSaving, SettingsAreStoredUnderTheirKeysAndNoneRemovesTheEntry)
{
    InMemoryUserDefaults defaults({{RuleStore::legacyLockEnabledKey, true}});
    RuleStore store(defaults);
    store.setLanguageOverride(u"he"_s);
    store.setDefaultSourceID(u"xkb:il"_s);
    store.setDefaultSourceDisplayName(u"Hebrew"_s);
    store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
    store.setAutoSwitchEnabled(true);
    EXPECT_EQ(defaults.values(), (QVariantMap{{RuleStore::legacyLockEnabledKey, true},
                                              {RuleStore::languageOverrideKey, u"he"_s},
                                              {RuleStore::defaultSourceKey, u"xkb:il"_s},
                                              {RuleStore::defaultSourceNameKey, u"Hebrew"_s},
                                              {RuleStore::fallbackModeKey, u"defaultOnly"_s},
                                              {RuleStore::autoSwitchEnabledKey, true}}))
        << "an explicit true is written; the legacy entry is never touched";

    store.setLanguageOverride(std::nullopt);
    store.setDefaultSourceID(std::nullopt);
    store.setDefaultSourceDisplayName(std::nullopt);
    EXPECT_FALSE(defaults.hasObjectForKey(RuleStore::languageOverrideKey));
    EXPECT_FALSE(defaults.hasObjectForKey(RuleStore::defaultSourceKey));
    EXPECT_FALSE(defaults.hasObjectForKey(RuleStore::defaultSourceNameKey));
}

// Stored lists that cannot be read start empty, creation leaves them alone, and the first save
// sets the stored value aside under "<key>.unreadable" before replacing it.
struct StoredValue {
    const char* name;
    QVariant value;
    friend void PrintTo(const StoredValue& stored, std::ostream* out) { *out << stored.name; }
};

class UnreadableRuleList : public ::testing::TestWithParam<StoredValue> {};

TEST_P(UnreadableRuleList, LoadsEmptyAndIsSetAsideBeforeTheFirstSave)
{
    const QVariant stored = GetParam().value;
    InMemoryUserDefaults defaults({{RuleStore::rulesKey, stored}});
    RuleStore store(defaults);
    EXPECT_TRUE(store.rules().isEmpty());
    EXPECT_EQ(defaults.writeCount(), 0);
    EXPECT_EQ(defaults.values().value(RuleStore::rulesKey), stored);

    store.upsert(terminal);
    EXPECT_EQ(defaults.values().value(unreadableRulesKey), stored);
    EXPECT_EQ(parsedArray(defaults.values().value(RuleStore::rulesKey)).size(), 1);

    store.upsert(AppRule{u"b"_s, {}, {}, {}});
    EXPECT_EQ(defaults.values().value(unreadableRulesKey), stored)
        << "later saves leave the set-aside value alone";
}

namespace {
const QByteArray goodElement =
    R"({"bundleID":"a","appDisplayName":"A","inputSourceID":"xkb:us","inputSourceDisplayName":"US"})";

QByteArray tenMegabytesOfJunk()
{
    QByteArray junk(10 * 1024 * 1024, 'x');
    junk.prepend("[{\"bundleID\":\"");
    return junk;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    BadInput, UnreadableRuleList,
    ::testing::Values(
        StoredValue{"truncated", QVariant(QByteArray(R"([{"bundleID":"a","appDisplayName")"))},
        StoredValue{"object", QVariant(goodElement)},
        StoredValue{"oneElementLacksAMember", QVariant("[" + goodElement +
                                                       R"(,{"bundleID":"b","inputSourceID":"x",)"
                                                       R"("inputSourceDisplayName":"y"},)" +
                                                       goodElement + "]")},
        StoredValue{
            "numberInsteadOfString",
            QVariant(QByteArray(R"([{"bundleID":1,"appDisplayName":"A","inputSourceID":"x",)"
                                R"("inputSourceDisplayName":"y"}])"))},
        StoredValue{"nullElement", QVariant(QByteArray("[null]"))},
        StoredValue{
            "invalidUtf8",
            QVariant(QByteArray("[{\"bundleID\":\"\xff\xfe\",\"appDisplayName\":\"A\","
                                "\"inputSourceID\":\"x\",\"inputSourceDisplayName\":\"y\"}]"))},
        StoredValue{"tenMegabytes", QVariant(tenMegabytesOfJunk())},
        StoredValue{"textInsteadOfData", QVariant(QString::fromUtf8("[" + goodElement + "]"))},
        StoredValue{"truthValue", QVariant(true)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RuleStoreSettingsFile, StateSurvivesARestartThroughTheSettingsFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Korvalen/Korvalen.conf"_s);
    {
        auto defaults = QSettingsUserDefaults::inIniFile(path);
        RuleStore store(*defaults);
        store.upsert(terminal);
        store.upsert(wiki);
        store.setGlobalFallbackMode(GlobalFallbackMode::locked);
        store.setAutoSwitchEnabled(false);
        store.setDefaultSourceID(u"xkb:us"_s);
        store.setDefaultSourceDisplayName(u"English (US)"_s);
        store.setLanguageOverride(u"ar"_s);
    }
    auto defaults = QSettingsUserDefaults::inIniFile(path);
    RuleStore store(*defaults);
    EXPECT_EQ(store.rules(), QList<AppRule>{terminal});
    EXPECT_EQ(store.websiteRules(), QList<WebsiteRule>{wiki});
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::locked);
    EXPECT_FALSE(store.isAutoSwitchEnabled());
    EXPECT_EQ(store.defaultSourceID(), u"xkb:us"_s);
    EXPECT_EQ(store.defaultSourceDisplayName(), u"English (US)"_s);
    EXPECT_EQ(store.languageOverride(), u"ar"_s);
}

TEST(RuleStoreSettingsFile, AValueCorrectedWhileItIsAnnouncedIsTheOneSavedAndHeardLast)
{
    using Text = std::optional<QString>;
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Korvalen/Korvalen.conf"_s);
    {
        auto defaults = QSettingsUserDefaults::inIniFile(path);
        RuleStore store(*defaults);
        EXPECT_EQ(assignCorrected(store, store.languageOverrideStream(),
                                  &RuleStore::setLanguageOverride, Text(u"en-XX"_s), Text(u"en"_s)),
                  (std::vector<Text>{u"en-XX"_s, u"en"_s}));
        EXPECT_EQ(assignCorrected(store, store.defaultSourceIDStream(),
                                  &RuleStore::setDefaultSourceID, Text(u"xkb:us "_s),
                                  Text(u"xkb:us"_s)),
                  (std::vector<Text>{u"xkb:us "_s, u"xkb:us"_s}));
        EXPECT_EQ(assignCorrected(store, store.defaultSourceDisplayNameStream(),
                                  &RuleStore::setDefaultSourceDisplayName, Text(QString()),
                                  Text(std::nullopt)),
                  (std::vector<Text>{QString(), std::nullopt}));
        EXPECT_EQ(assignCorrected(store, store.globalFallbackModeStream(),
                                  &RuleStore::setGlobalFallbackMode, GlobalFallbackMode::locked,
                                  GlobalFallbackMode::defaultOnly),
                  (std::vector{GlobalFallbackMode::locked, GlobalFallbackMode::defaultOnly}));
        EXPECT_EQ(assignCorrected(store, store.autoSwitchEnabledStream(),
                                  &RuleStore::setAutoSwitchEnabled, false, true),
                  (std::vector{false, true}));
    }
    auto defaults = QSettingsUserDefaults::inIniFile(path);
    const RuleStore store(*defaults);
    EXPECT_EQ(store.languageOverride(), u"en"_s);
    EXPECT_EQ(store.defaultSourceID(), u"xkb:us"_s);
    EXPECT_EQ(store.defaultSourceDisplayName(), std::nullopt);
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::defaultOnly);
    EXPECT_TRUE(store.isAutoSwitchEnabled());
}

// Each time the list is broken by hand, what was there is kept: the first copy under
// "<key>.unreadable", later ones under "<key>.unreadable.2", "<key>.unreadable.3", …
TEST(RuleStoreSettingsFile, EveryUnreadableListIsSetAsideUnderAKeyOfItsOwn)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Korvalen/Korvalen.conf"_s);
    const QByteArray firstEdit(R"([{"bundleID":"org.gnome.Terminal",)");
    const QByteArray secondEdit(R"({"bundleID":"firefox-esr"})");
    for (const QByteArray& edit : {firstEdit, secondEdit, secondEdit}) {
        QSettings(path, QSettings::IniFormat).setValue(RuleStore::rulesKey, edit);
        auto defaults = QSettingsUserDefaults::inIniFile(path);
        RuleStore store(*defaults);
        ASSERT_TRUE(store.rules().isEmpty());
        store.upsert(terminal);
    }
    const QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(file.value(unreadableRulesKey), firstEdit);
    EXPECT_EQ(file.value(unreadableRulesKey + u".2"_s), secondEdit);
    EXPECT_FALSE(file.contains(unreadableRulesKey + u".3"_s))
        << "a value already set aside is not copied again";
    EXPECT_EQ(parsedArray(file.value(RuleStore::rulesKey)).size(), 1);
}

TEST(RuleStoreSettingsFile, UnwritableFileStillChangesTheStoreInMemory)
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath(u"Korvalen"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    auto defaults = QSettingsUserDefaults::inIniFile(folder.filePath(u"Korvalen/Korvalen.conf"_s));
    RuleStore store(*defaults);
    store.upsert(terminal);
    store.setGlobalFallbackMode(GlobalFallbackMode::defaultOnly);
    EXPECT_EQ(store.rules(), QList<AppRule>{terminal});
    EXPECT_EQ(store.globalFallbackMode(), GlobalFallbackMode::defaultOnly);
}
