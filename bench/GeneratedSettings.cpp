#include "GeneratedSettings.h"

#include "GeneratedApplications.h"
#include "rules/RuleStore.h"
#include "support/JsonRecords.h"

namespace korvalen::bench {

namespace {

const char* const layouts[] = {"us", "ru", "de", "fr", "ua", "gb", "es", "it", "pt", "br",
                               "pl", "cz", "se", "no", "fi", "dk", "nl", "tr", "gr", "il"};

QString layoutName(int i)
{
    return QString::fromLatin1(layouts[i]);
}

template <typename Rule>
void storeList(UserDefaults& defaults, const QString& key, int count, Rule (*rule)(int))
{
    QList<Rule> rules;
    rules.reserve(count);
    for (int i = 0; i < count; ++i)
        rules.append(rule(i));
    defaults.setData(key, encodeJsonRecords(rules));
}

} // namespace

QString layoutID(int i)
{
    return QStringLiteral("xkb:") + layoutName(i);
}

QList<TextInputSources::Handle> addKeyboardLayouts(SimulatedTextInputSources& sources, int count)
{
    QList<TextInputSources::Handle> added;
    for (int i = 0; i < count && i < int(std::size(layouts)); ++i)
        added.append(sources.addEnabledSource(
            SimulatedTextInputSources::keyboardLayout(layoutID(i), layoutName(i))));
    if (!added.isEmpty())
        sources.setCurrentKeyboardSource(added.first());
    return added;
}

AppRule appRule(int i)
{
    return {applicationIdentifier(i), applicationName(i), layoutID(i % 2), layoutName(i % 2)};
}

QString websiteDomain(int i)
{
    return QStringLiteral("site%1.example.org").arg(i);
}

WebsiteRule websiteRule(int i)
{
    return {websiteDomain(i), layoutID(i % 2), layoutName(i % 2)};
}

void storeRules(UserDefaults& defaults, int appRules, int websiteRules)
{
    storeList(defaults, RuleStore::rulesKey, appRules, &appRule);
    storeList(defaults, RuleStore::websiteRulesKey, websiteRules, &websiteRule);
}

} // namespace korvalen::bench
