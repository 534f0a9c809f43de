#pragma once

#include "platform/UserDefaults.h"
#include "rules/AppRule.h"
#include "rules/GlobalFallbackMode.h"
#include "rules/RuleList.h"
#include "rules/WebsiteRule.h"
#include "support/Published.h"

#include <QList>
#include <QString>

#include <optional>

namespace korvalen {

// Everything the user has decided, and the single source of truth for it: the application and
// website rules, the global default input source with its fallback mode, whether application
// rules apply, and the interface language.
//
// Every change is stored, then announced (the store-wide signal first, then the property's
// stream; handlers run synchronously and see the new state), then saved before the changing call
// returns. A change that a handler makes during an announcement is stored and saved at once and
// announced when the announcement under way is over, so every subscriber hears the values in the
// order they were assigned; what is saved is always what the store holds. Assigning a value equal
// to the current one still announces and saves. The store checks nothing about the texts it is
// given: keys are matched whole and case-sensitively.
class RuleStore {
public:
    static inline const QString rulesKey = QStringLiteral("Korvalen.rules");
    static inline const QString websiteRulesKey = QStringLiteral("Korvalen.websiteRules");
    static inline const QString defaultSourceKey = QStringLiteral("Korvalen.lockedSourceID");
    static inline const QString defaultSourceNameKey = QStringLiteral("Korvalen.lockedSourceName");
    static inline const QString fallbackModeKey = QStringLiteral("Korvalen.globalFallbackMode");
    static inline const QString legacyLockEnabledKey = QStringLiteral("Korvalen.lockEnabled");
    static inline const QString autoSwitchEnabledKey = QStringLiteral("Korvalen.autoSwitchEnabled");
    static inline const QString languageOverrideKey = QStringLiteral("Korvalen.languageOverride");

    // Loads every setting and both rule lists; writes nothing and announces nothing.
    explicit RuleStore(UserDefaults& defaults);
    RuleStore(const RuleStore&) = delete;
    RuleStore& operator=(const RuleStore&) = delete;

    // The store of the running application, on the installed platform's user defaults.
    static RuleStore& shared();

    QList<AppRule> rules() const { return m_rules.rules(); }
    QList<WebsiteRule> websiteRules() const { return m_websiteRules.rules(); }
    std::optional<AppRule> ruleForBundleID(const QString& bundleID) const;
    std::optional<WebsiteRule> websiteRuleForDomain(const QString& domain) const;
    void upsert(const AppRule& rule);
    void upsert(const WebsiteRule& rule);
    void removeRuleForBundleID(const QString& bundleID);
    void removeWebsiteRuleForDomain(const QString& domain);

    // The interface language chosen by the user; none follows the system's preferences.
    std::optional<QString> languageOverride() const { return m_languageOverride.value(); }
    void setLanguageOverride(const std::optional<QString>& code);
    std::optional<QString> defaultSourceID() const { return m_defaultSourceID.value(); }
    void setDefaultSourceID(const std::optional<QString>& id);
    std::optional<QString> defaultSourceDisplayName() const
    {
        return m_defaultSourceDisplayName.value();
    }
    void setDefaultSourceDisplayName(const std::optional<QString>& name);
    GlobalFallbackMode globalFallbackMode() const { return m_globalFallbackMode.value(); }
    void setGlobalFallbackMode(GlobalFallbackMode mode);
    bool isAutoSwitchEnabled() const { return m_isAutoSwitchEnabled.value(); }
    void setAutoSwitchEnabled(bool enabled);

    // The store-wide change signal: one call per change of any property.
    [[nodiscard]] Subscription subscribeToChanges(std::function<void()> handler) const;

    // Per-property change streams: subscribe() hands over the current value at once.
    const Published<QList<AppRule>>& rulesStream() const { return m_rules.published(); }
    const Published<QList<WebsiteRule>>& websiteRulesStream() const
    {
        return m_websiteRules.published();
    }
    const Published<std::optional<QString>>& languageOverrideStream() const
    {
        return m_languageOverride;
    }
    const Published<std::optional<QString>>& defaultSourceIDStream() const
    {
        return m_defaultSourceID;
    }
    const Published<std::optional<QString>>& defaultSourceDisplayNameStream() const
    {
        return m_defaultSourceDisplayName;
    }
    const Published<GlobalFallbackMode>& globalFallbackModeStream() const
    {
        return m_globalFallbackMode;
    }
    const Published<bool>& autoSwitchEnabledStream() const { return m_isAutoSwitchEnabled; }

private:
    GlobalFallbackMode loadGlobalFallbackMode() const;
    void saveOptionalText(const QString& key, const std::optional<QString>& text);
    template <typename T>
    void forwardChanges(const Published<T>& property);

    UserDefaults& m_defaults;
    Signal<> m_changed;
    Published<std::optional<QString>> m_languageOverride;
    Published<std::optional<QString>> m_defaultSourceID;
    Published<std::optional<QString>> m_defaultSourceDisplayName;
    Published<bool> m_isAutoSwitchEnabled;
    Published<GlobalFallbackMode> m_globalFallbackMode;
    RuleList<AppRule> m_rules;
    RuleList<WebsiteRule> m_websiteRules;
    std::vector<Subscription> m_changeForwarding;
};

} // namespace korvalen
