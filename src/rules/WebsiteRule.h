#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace korvalen {

// The input source to use while a website domain is the browser's active tab.
struct WebsiteRule {
    QString domain; // the key; matched whole, so it does not cover subdomains
    QString inputSourceID;
    QString inputSourceDisplayName; // as it was named when the rule was made

    const QString& id() const { return domain; }

    QJsonObject toJson() const;
    static std::optional<WebsiteRule> fromJson(const QJsonObject& object);

    friend bool operator==(const WebsiteRule&, const WebsiteRule&) = default;
};

inline size_t qHash(const WebsiteRule& rule, size_t seed = 0)
{
    return qHashMulti(seed, rule.domain, rule.inputSourceID, rule.inputSourceDisplayName);
}

} // namespace korvalen
