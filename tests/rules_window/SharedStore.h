#pragma once

#include "rules/RuleStore.h"

namespace korvalen::testing {

inline const QString terminal = QStringLiteral("org.gnome.Terminal");

// Empties the process-wide store, which the window's texts read their language from, of what an
// earlier test left in it.
inline void clearStore()
{
    RuleStore& store = RuleStore::shared();
    for (const AppRule& rule : store.rules())
        store.removeRuleForBundleID(rule.bundleID);
    for (const WebsiteRule& rule : store.websiteRules())
        store.removeWebsiteRuleForDomain(rule.domain);
    store.setGlobalFallbackMode(GlobalFallbackMode::disabled);
    store.setDefaultSourceID(std::nullopt);
    store.setDefaultSourceDisplayName(std::nullopt);
    store.setAutoSwitchEnabled(true);
}

} // namespace korvalen::testing
