#pragma once

#include "apps/InstalledApp.h"
#include "input/InputSource.h"
#include "rules/RuleStore.h"
#include "usage/RuleSuggestion.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace korvalen {

// What the rules window does, without its widgets: the two add forms' entry fields and the edits
// they and the rule rows make to the store. The entry fields are the editor's own and never
// saved; everything else is read from the store, the keyboard and the applications at each call.
class RulesEditor {
public:
    using AppList = std::function<QList<InstalledApp>()>;
    using Suggestions = std::function<std::optional<RuleSuggestion>(const QString& bundleID)>;

    RulesEditor(RuleStore& store, TextInputSources& inputSources, AppList pickerApps,
                Suggestions suggestions);

    RuleStore& store() const { return m_store; }
    QList<InputSource> selectableSources() const;
    QList<InstalledApp> pickerApps() const { return m_pickerApps(); }

    // The add-rule form: an application and an input source, by identifier; empty for none.
    QString selectedAppBundleID;
    QString selectedInputSourceID;
    // The website form: the domain as typed, and an input source.
    QString newDomain;
    QString selectedWebsiteInputSourceID;

    bool canAddRule() const;
    bool canAddWebsiteRule() const;
    // Adds the rule the add-rule form describes, replacing the application's rule in place, and
    // empties the form. Nothing changes when the application or the source is no longer there.
    bool addRule();
    // The same for the website form, for the domain normalizedDomain() makes of what was typed.
    bool addWebsiteRule();

    // What usage suggests for the application chosen in the add-rule form.
    std::optional<RuleSuggestion> suggestionForSelectedApp() const;

    // Gives an application rule another input source; it keeps its place in the list.
    void setRuleSource(const AppRule& rule, const QString& sourceID);
    // Makes a source the global default: its identifier, then its name.
    void setDefaultSource(const QString& sourceID);

    // The rule lists as the window shows them: by name and by domain in the order of their
    // characters' code points, case significant, ties in the store's order.
    QList<AppRule> rulesInDisplayOrder() const;
    QList<WebsiteRule> websiteRulesInDisplayOrder() const;

    // The host a website rule is to match, from what the user typed: an address ("https://
    // www.Example.com/a?b" gives "www.Example.com") or a bare host with or without a path; text
    // that is neither is kept as typed, without the white space around it.
    static QString normalizedDomain(const QString& typed);

private:
    std::optional<InputSource> selectableSource(const QString& id) const;

    RuleStore& m_store;
    TextInputSources& m_inputSources;
    AppList m_pickerApps;
    Suggestions m_suggestions;
};

} // namespace korvalen
