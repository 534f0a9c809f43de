#include "rules/RuleList.h"

#include "rules/AppRule.h"
#include "rules/WebsiteRule.h"
#include "support/JsonRecords.h"

#include <algorithm>

namespace korvalen {

namespace {

// The stored list, or none (with the unreadable stored value kept aside) when it cannot be read.
template <typename Rule>
QList<Rule> loadRules(const UserDefaults& defaults, const QString& key,
                      std::optional<QVariant>& unreadableValue)
{
    const auto stored = defaults.objectForKey(key);
    if (!stored)
        return {};
    if (const auto bytes = defaults.dataForKey(key)) {
        if (auto rules = decodeJsonRecords<Rule>(*bytes))
            return *rules;
    }
    unreadableValue = stored;
    return {};
}

} // namespace

template <typename Rule>
RuleList<Rule>::RuleList(UserDefaults& defaults, QString key)
    : m_defaults(defaults)
    , m_key(std::move(key))
    , m_rules(loadRules<Rule>(defaults, m_key, m_unreadableValue))
{
}

template <typename Rule>
std::optional<Rule> RuleList<Rule>::find(const QString& key) const
{
    const auto& rules = m_rules.value();
    const auto it = std::ranges::find(rules, key, &Rule::id);
    if (it == rules.end())
        return std::nullopt;
    return *it;
}

template <typename Rule>
void RuleList<Rule>::upsert(const Rule& rule)
{
    QList<Rule> rules = m_rules.value();
    const auto it = std::ranges::find(rules, rule.id(), &Rule::id);
    if (it != rules.end())
        *it = rule;
    else
        rules.append(rule);
    m_rules.set(std::move(rules));
    persist();
}

template <typename Rule>
void RuleList<Rule>::removeAll(const QString& key)
{
    QList<Rule> rules = m_rules.value();
    rules.removeIf([&key](const Rule& rule) { return rule.id() == key; });
    m_rules.set(std::move(rules));
    persist();
}

template <typename Rule>
void RuleList<Rule>::persist()
{
    if (m_unreadableValue) {
        m_defaults.setObject(m_key + QStringLiteral(".unreadable"), *m_unreadableValue);
        m_unreadableValue.reset();
    }
    m_defaults.setData(m_key, encodeJsonRecords(m_rules.value()));
}

template class RuleList<AppRule>;
template class RuleList<WebsiteRule>;

} // namespace korvalen
