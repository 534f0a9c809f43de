#pragma once

#include "platform/StoredRecords.h"
#include "platform/UserDefaults.h"
#include "support/Published.h"

#include <QList>

namespace korvalen {

// One published list of rules, kept under one user defaults key as a JSON array.
//
// The list keeps insertion order and, through its own operations, at most one rule per key; a
// stored list is taken as it is, duplicates included.
template <typename Rule>
class RuleList {
public:
    // Reads the list; writes nothing.
    RuleList(UserDefaults& defaults, QString key);

    const Published<QList<Rule>>& published() const { return m_rules; }
    const QList<Rule>& rules() const { return m_rules.value(); }

    // The first rule whose key equals `key` exactly.
    std::optional<Rule> find(const QString& key) const;
    // Replaces the first rule with the same key in place, or appends; announces and saves.
    void upsert(const Rule& rule);
    // Removes every rule with that key; announces and saves, also when nothing matched.
    void removeAll(const QString& key);

private:
    void persist();

    StoredRecords m_storage;
    Published<QList<Rule>> m_rules;
};

} // namespace korvalen
