#pragma once

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace korvalen {

// The input source to use in one application.
struct AppRule {
    QString bundleID; // the key
    QString appDisplayName;
    QString inputSourceID;
    QString inputSourceDisplayName; // as it was named when the rule was made

    const QString& id() const { return bundleID; }

    QJsonObject toJson() const;
    static std::optional<AppRule> fromJson(const QJsonObject& object);

    friend bool operator==(const AppRule&, const AppRule&) = default;
};

inline size_t qHash(const AppRule& rule, size_t seed = 0)
{
    return qHashMulti(seed, rule.bundleID, rule.appDisplayName, rule.inputSourceID,
                      rule.inputSourceDisplayName);
}

} // namespace korvalen
