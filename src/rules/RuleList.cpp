#include "rules/RuleList.h"

#include "rules/AppRule.h"
#include "rules/WebsiteRule.h"

#include <algorithm>

namespace korvalen {

template <typename Rule>
RuleList<Rule>::RuleList(UserDefaults& defaults, QString key)
    : m_storage(defaults, std::move(key))
    , m_rules(m_storage.load<Rule>())
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

// The list held, not the one just assigned: a subscriber may have replaced it while the change
// was announced.
template <typename Rule>
void RuleList<Rule>::persist()
{
    m_storage.save(m_rules.value());
}

template class RuleList<AppRule>;
template class RuleList<WebsiteRule>;

} // namespace korvalen
