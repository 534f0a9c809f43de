#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

#include <optional>

namespace korvalen {

// The time credited to one (application, input source) pair. The names are those the pair had
// when it was first credited.
struct UsageSample {
    QString bundleID;
    QString appDisplayName;
    QString inputSourceID;
    QString inputSourceDisplayName;
    double totalSeconds = 0.0;  // never negative; a stored record with a negative one is unreadable
    QSet<QString> daysObserved; // "yyyy-MM-dd", the days on which a credited segment ended

    static QString key(const QString& bundleID, const QString& inputSourceID)
    {
        return bundleID + u'|' + inputSourceID;
    }
    QString key() const { return key(bundleID, inputSourceID); }

    QJsonObject toJson() const;
    static std::optional<UsageSample> fromJson(const QJsonObject& object);

    friend bool operator==(const UsageSample&, const UsageSample&) = default;
};

} // namespace korvalen
