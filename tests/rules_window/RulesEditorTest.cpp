#include "rules_window/RulesEditor.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimulatedTextInputSources.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString terminal = u"org.gnome.Terminal"_s;

class RulesEditorTest : public ::testing::Test {
protected:
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SimulatedTextInputSources inputSources;
    QList<InstalledApp> apps{{terminal, u"Terminal"_s, u"/usr/share/applications/t.desktop"_s},
                             {u"firefox-esr"_s, u"Firefox ESR"_s, QString()}};
    QStringList suggestionRequests;
    std::optional<RuleSuggestion> suggestion;
    int appListReads = 0;
    RulesEditor editor{store, inputSources,
                       [this] {
                           ++appListReads;
                           return apps;
                       },
                       [this](const QString& bundleID) {
                           suggestionRequests.append(bundleID);
                           return suggestion;
                       }};

    RulesEditorTest()
    {
        for (const auto& [id, name] :
             {std::pair(u"xkb:us"_s, u"English (US)"_s), std::pair(u"xkb:ru"_s, u"Russian"_s)})
            inputSources.addEnabledSource(SimulatedTextInputSources::keyboardLayout(id, name));
    }

    void chooseRule(const QString& bundleID, const QString& sourceID)
    {
        editor.selectedAppBundleID = bundleID;
        editor.selectedInputSourceID = sourceID;
    }
};

QStringList namesOf(const QList<AppRule>& rules)
{
    QStringList names;
    for (const AppRule& rule : rules)
        names.append(rule.appDisplayName);
    return names;
}

} // namespace

TEST_F(RulesEditorTest, AddRuleNeedsBothChoicesAndEmptiesTheFormAfterwards)
{
    EXPECT_FALSE(editor.canAddRule());
    editor.selectedAppBundleID = terminal;
    EXPECT_FALSE(editor.canAddRule());
    editor.selectedInputSourceID = u"xkb:ru"_s;
    EXPECT_TRUE(editor.canAddRule());

    EXPECT_TRUE(editor.addRule());
    EXPECT_EQ(store.rules(),
              (QList<AppRule>{{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s}}));
    EXPECT_EQ(editor.selectedAppBundleID, QString());
    EXPECT_EQ(editor.selectedInputSourceID, QString());
    EXPECT_EQ(appListReads, 1) << "the application list is read when adding, not before";
}

TEST_F(RulesEditorTest, AddRuleReplacesInPlaceAndRefusesWhatIsGone)
{
    store.upsert(AppRule{terminal, u"Old name"_s, u"xkb:us"_s, u"English (US)"_s});
    store.upsert(AppRule{u"vim"_s, u"Vim"_s, u"xkb:us"_s, u"English (US)"_s});
    chooseRule(terminal, u"xkb:ru"_s);
    ASSERT_TRUE(editor.addRule());
    EXPECT_EQ(store.rules().first(), (AppRule{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s}));
    EXPECT_EQ(store.rules().size(), 2);

    const int writes = defaults.writeCount();
    chooseRule(u"org.example.Quit"_s, u"xkb:ru"_s);
    EXPECT_FALSE(editor.addRule()) << "an application no longer listed";
    chooseRule(terminal, u"xkb:de"_s);
    EXPECT_FALSE(editor.addRule()) << "a source no longer enabled";
    EXPECT_EQ(editor.selectedAppBundleID, terminal) << "a refused add keeps the form";
    EXPECT_EQ(editor.selectedInputSourceID, u"xkb:de"_s);
    EXPECT_EQ(defaults.writeCount(), writes);
}

TEST_F(RulesEditorTest, DomainsAreTheHostOfWhatWasTyped)
{
    const std::pair<QString, QString> cases[] = {
        {u"https://www.Example.com:8443/path/a?q=1#top"_s, u"www.Example.com"_s},
        {u"  zh.wikipedia.org/wiki/Rust \n"_s, u"zh.wikipedia.org"_s},
        {u"user@mail.example.org"_s, u"mail.example.org"_s},
        {u"localhost:3000"_s, u"localhost"_s},
        {u"http://[::1]:8080/"_s, u"::1"_s},
        {u"a b"_s, u"a b"_s},
        {u" \t\n"_s, QString()},
        {QString(), QString()},
    };
    for (const auto& [typed, domain] : cases)
        EXPECT_EQ(RulesEditor::normalizedDomain(typed), domain) << typed.toStdString();
}

TEST_F(RulesEditorTest, AddWebsiteRuleForTheHostKeepingItsLetterCase)
{
    editor.newDomain = u"   "_s;
    editor.selectedWebsiteInputSourceID = u"xkb:ru"_s;
    EXPECT_FALSE(editor.canAddWebsiteRule());
    EXPECT_FALSE(editor.addWebsiteRule());

    editor.newDomain = u"https://www.Example.com/a?b"_s;
    ASSERT_TRUE(editor.canAddWebsiteRule());
    ASSERT_TRUE(editor.addWebsiteRule());
    EXPECT_EQ(editor.newDomain, QString());
    EXPECT_EQ(editor.selectedWebsiteInputSourceID, QString());

    editor.newDomain = u"www.example.com"_s;
    editor.selectedWebsiteInputSourceID = u"xkb:us"_s;
    ASSERT_TRUE(editor.addWebsiteRule());
    editor.newDomain = u"www.Example.com"_s;
    editor.selectedWebsiteInputSourceID = u"xkb:us"_s;
    ASSERT_TRUE(editor.addWebsiteRule());
    EXPECT_EQ(store.websiteRules(),
              (QList<WebsiteRule>{{u"www.Example.com"_s, u"xkb:us"_s, u"English (US)"_s},
                                  {u"www.example.com"_s, u"xkb:us"_s, u"English (US)"_s}}));
}

TEST_F(RulesEditorTest, SuggestionIsAskedForOnlyOnceAnApplicationIsChosen)
{
    suggestion = RuleSuggestion{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s, 85};
    EXPECT_EQ(editor.suggestionForSelectedApp(), std::nullopt);
    EXPECT_EQ(suggestionRequests, QStringList());
    editor.selectedAppBundleID = terminal;
    EXPECT_EQ(editor.suggestionForSelectedApp(), suggestion);
    EXPECT_EQ(suggestionRequests, QStringList{terminal});
}

TEST_F(RulesEditorTest, RowAndDefaultPickersStoreTheSourcesIdentifierAndName)
{
    store.upsert(AppRule{u"vim"_s, u"Vim"_s, u"xkb:us"_s, u"English (US)"_s});
    store.upsert(AppRule{terminal, u"Terminal"_s, u"xkb:us"_s, u"English (US)"_s});
    editor.setRuleSource(store.rules().last(), u"xkb:ru"_s);
    EXPECT_EQ(store.rules().last(), (AppRule{terminal, u"Terminal"_s, u"xkb:ru"_s, u"Russian"_s}));
    const int writes = defaults.writeCount();
    editor.setRuleSource(store.rules().last(), u"xkb:gone"_s);
    editor.setDefaultSource(u"xkb:gone"_s);
    EXPECT_EQ(defaults.writeCount(), writes) << "a source no longer enabled changes nothing";

    QStringList announced;
    const Subscription ids = store.defaultSourceIDStream().subscribeToChanges(
        [&](const auto& id) { announced.append(u"id "_s + id.value_or(QString())); });
    const Subscription names = store.defaultSourceDisplayNameStream().subscribeToChanges(
        [&](const auto& name) { announced.append(u"name "_s + name.value_or(QString())); });
    editor.setDefaultSource(u"xkb:ru"_s);
    EXPECT_EQ(announced, (QStringList{u"id xkb:ru"_s, u"name Russian"_s}));
}

TEST_F(RulesEditorTest, ListsAreInCodePointOrderAfterCompositionStableOnTies)
{
    const QString composed = u"\u00E9t\u00E9"_s;     // "été" as three characters
    const QString decomposed = u"e\u0301te\u0301"_s; // the same with combining accents
    const QString emoji = u"\U0001F600 Smile"_s;     // beyond U+FFFF
    const QString privateUse = u"\uE000 Private"_s;  // below it, though its UTF-16 unit is larger
    const QStringList names{u"beta"_s,  composed,   u"Zeta"_s, emoji,
                            privateUse, decomposed, u"alpha"_s};
    for (qsizetype i = 0; i < names.size(); ++i)
        store.upsert(AppRule{QString::number(i), names[i], u"xkb:us"_s, QString()});

    EXPECT_EQ(
        namesOf(editor.rulesInDisplayOrder()),
        (QStringList{u"Zeta"_s, u"alpha"_s, u"beta"_s, composed, decomposed, privateUse, emoji}));
    EXPECT_EQ(namesOf(store.rules()), names) << "the store keeps its own order";

    store.upsert(WebsiteRule{u"b.example"_s, u"xkb:us"_s, QString()});
    store.upsert(WebsiteRule{u"A.example"_s, u"xkb:us"_s, QString()});
    EXPECT_EQ(editor.websiteRulesInDisplayOrder().first().domain, u"A.example"_s);
}
