#include "rules/RuleStore.h"

#include "platform/Platform.h"

namespace korvalen {

// Members are initialised in declaration order, which is the order the settings are read in.
RuleStore::RuleStore(UserDefaults& defaults)
    : m_defaults(defaults)
    , m_languageOverride(defaults.stringForKey(languageOverrideKey))
    , m_defaultSourceID(defaults.stringForKey(defaultSourceKey))
    , m_defaultSourceDisplayName(defaults.stringForKey(defaultSourceNameKey))
    , m_isAutoSwitchEnabled(defaults.hasObjectForKey(autoSwitchEnabledKey)
                                ? defaults.boolForKey(autoSwitchEnabledKey)
                                : true)
    , m_globalFallbackMode(loadGlobalFallbackMode())
    , m_rules(defaults, rulesKey)
    , m_websiteRules(defaults, websiteRulesKey)
{
    // Subscribed before anyone else, so the store-wide signal precedes every property stream.
    forwardChanges(m_rules.published());
    forwardChanges(m_websiteRules.published());
    forwardChanges(m_languageOverride);
    forwardChanges(m_defaultSourceID);
    forwardChanges(m_defaultSourceDisplayName);
    forwardChanges(m_globalFallbackMode);
    forwardChanges(m_isAutoSwitchEnabled);
}

RuleStore& RuleStore::shared()
{
    static RuleStore store(*Platform::shared().userDefaults);
    return store;
}

template <typename T>
void RuleStore::forwardChanges(const Published<T>& property)
{
    m_changeForwarding.push_back(
        property.subscribeToChanges([this](const T&) { m_changed.emit(); }));
}

// The mode entry wins when it holds one of the raw values exactly; otherwise an entry left by
// the earlier lock setting decides. The derived mode is not written back.
GlobalFallbackMode RuleStore::loadGlobalFallbackMode() const
{
    if (const auto text = m_defaults.stringForKey(fallbackModeKey)) {
        if (const auto mode = globalFallbackModeFromRawValue(*text))
            return *mode;
    }
    if (m_defaults.hasObjectForKey(legacyLockEnabledKey)) {
        return m_defaults.boolForKey(legacyLockEnabledKey) ? GlobalFallbackMode::locked
                                                           : GlobalFallbackMode::disabled;
    }
    return GlobalFallbackMode::disabled;
}

std::optional<AppRule> RuleStore::ruleForBundleID(const QString& bundleID) const
{
    return m_rules.find(bundleID);
}

std::optional<WebsiteRule> RuleStore::websiteRuleForDomain(const QString& domain) const
{
    return m_websiteRules.find(domain);
}

void RuleStore::upsert(const AppRule& rule)
{
    m_rules.upsert(rule);
}

void RuleStore::upsert(const WebsiteRule& rule)
{
    m_websiteRules.upsert(rule);
}

void RuleStore::removeRuleForBundleID(const QString& bundleID)
{
    m_rules.removeAll(bundleID);
}

void RuleStore::removeWebsiteRuleForDomain(const QString& domain)
{
    m_websiteRules.removeAll(domain);
}

// Each setter saves what the store holds once the announcement is over, not its argument: a
// subscriber may have assigned again meanwhile, and its value is the one in memory.
void RuleStore::setLanguageOverride(const std::optional<QString>& code)
{
    m_languageOverride.set(code);
    saveOptionalText(languageOverrideKey, m_languageOverride.value());
}

void RuleStore::setDefaultSourceID(const std::optional<QString>& id)
{
    m_defaultSourceID.set(id);
    saveOptionalText(defaultSourceKey, m_defaultSourceID.value());
}

void RuleStore::setDefaultSourceDisplayName(const std::optional<QString>& name)
{
    m_defaultSourceDisplayName.set(name);
    saveOptionalText(defaultSourceNameKey, m_defaultSourceDisplayName.value());
}

void RuleStore::setGlobalFallbackMode(GlobalFallbackMode mode)
{
    m_globalFallbackMode.set(mode);
    m_defaults.setString(fallbackModeKey, rawValue(m_globalFallbackMode.value()));
}

void RuleStore::setAutoSwitchEnabled(bool enabled)
{
    m_isAutoSwitchEnabled.set(enabled);
    m_defaults.setBool(autoSwitchEnabledKey, m_isAutoSwitchEnabled.value());
}

Subscription RuleStore::subscribeToChanges(std::function<void()> handler) const
{
    return m_changed.connect(std::move(handler));
}

void RuleStore::saveOptionalText(const QString& key, const std::optional<QString>& text)
{
    if (text)
        m_defaults.setString(key, *text);
    else
        m_defaults.removeObject(key);
}

} // namespace korvalen
