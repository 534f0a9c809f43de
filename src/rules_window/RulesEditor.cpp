#include "rules_window/RulesEditor.h"

#include "input/InputSourceManager.h"
#include "support/ScalarValueOrder.h"
#include "website/UrlReference.h"

#include <algorithm>

namespace korvalen {

using Qt::Literals::StringLiterals::operator""_s;

RulesEditor::RulesEditor(RuleStore& store, TextInputSources& inputSources, AppList pickerApps,
                         Suggestions suggestions)
    : m_store(store)
    , m_inputSources(inputSources)
    , m_pickerApps(std::move(pickerApps))
    , m_suggestions(std::move(suggestions))
{
}

QList<InputSource> RulesEditor::selectableSources() const
{
    return InputSourceManager::selectableKeyboardSources(m_inputSources);
}

std::optional<InputSource> RulesEditor::selectableSource(const QString& id) const
{
    const QList<InputSource> sources = selectableSources();
    const auto found = std::ranges::find(sources, id, &InputSource::id);
    return found == sources.end() ? std::nullopt : std::optional(*found);
}

bool RulesEditor::canAddRule() const
{
    return !selectedAppBundleID.isEmpty() && !selectedInputSourceID.isEmpty();
}

bool RulesEditor::canAddWebsiteRule() const
{
    return !normalizedDomain(newDomain).isEmpty() && !selectedWebsiteInputSourceID.isEmpty();
}

bool RulesEditor::addRule()
{
    const QList<InstalledApp> apps = m_pickerApps();
    const auto app = std::ranges::find(apps, selectedAppBundleID, &InstalledApp::bundleID);
    if (app == apps.end())
        return false;
    const auto source = selectableSource(selectedInputSourceID);
    if (!source)
        return false;
    // The form is emptied before the store announces the rule, so that whatever redraws for the
    // new rule already sees the empty form.
    selectedAppBundleID.clear();
    selectedInputSourceID.clear();
    m_store.upsert(AppRule{.bundleID = app->bundleID,
                           .appDisplayName = app->displayName,
                           .inputSourceID = source->id,
                           .inputSourceDisplayName = source->localizedName});
    return true;
}

bool RulesEditor::addWebsiteRule()
{
    const QString domain = normalizedDomain(newDomain);
    if (domain.isEmpty())
        return false;
    const auto source = selectableSource(selectedWebsiteInputSourceID);
    if (!source)
        return false;
    newDomain.clear();
    selectedWebsiteInputSourceID.clear();
    m_store.upsert(WebsiteRule{.domain = domain,
                               .inputSourceID = source->id,
                               .inputSourceDisplayName = source->localizedName});
    return true;
}

std::optional<RuleSuggestion> RulesEditor::suggestionForSelectedApp() const
{
    if (selectedAppBundleID.isEmpty())
        return std::nullopt;
    return m_suggestions(selectedAppBundleID);
}

void RulesEditor::setRuleSource(const AppRule& rule, const QString& sourceID)
{
    const auto source = selectableSource(sourceID);
    if (!source)
        return;
    AppRule changed = rule;
    changed.inputSourceID = source->id;
    changed.inputSourceDisplayName = source->localizedName;
    m_store.upsert(changed);
}

void RulesEditor::setDefaultSource(const QString& sourceID)
{
    const auto source = selectableSource(sourceID);
    if (!source)
        return;
    m_store.setDefaultSourceID(source->id);
    m_store.setDefaultSourceDisplayName(source->localizedName);
}

QList<AppRule> RulesEditor::rulesInDisplayOrder() const
{
    QList<AppRule> rules = m_store.rules();
    sortByScalarValues(rules, [](const AppRule& rule) { return rule.appDisplayName; });
    return rules;
}

QList<WebsiteRule> RulesEditor::websiteRulesInDisplayOrder() const
{
    QList<WebsiteRule> rules = m_store.websiteRules();
    sortByScalarValues(rules, [](const WebsiteRule& rule) { return rule.domain; });
    return rules;
}

QString RulesEditor::normalizedDomain(const QString& typed)
{
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return {};
    // A bare host reads as a path of a relative reference, so it is read again as the host of
    // an https address.
    if (auto host = UrlReference::host(trimmed))
        return *host;
    if (auto host = UrlReference::host(u"https://"_s + trimmed))
        return *host;
    return trimmed;
}

} // namespace korvalen
