#include "usage/UsageSample.h"

#include "support/JsonRecords.h"

#include <algorithm>
#include <cmath>

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

QJsonObject UsageSample::toJson() const
{
    QStringList days(daysObserved.cbegin(), daysObserved.cend());
    std::ranges::sort(days); // the order carries no meaning; sorted keeps the file stable
    return {
        {"bundleID"_L1, bundleID},           {"appDisplayName"_L1, appDisplayName},
        {"inputSourceID"_L1, inputSourceID}, {"inputSourceDisplayName"_L1, inputSourceDisplayName},
        {"totalSeconds"_L1, totalSeconds},   {"daysObserved"_L1, QJsonArray::fromStringList(days)}};
}

std::optional<UsageSample> UsageSample::fromJson(const QJsonObject& object)
{
    const auto names =
        requiredStringMembers(object, {"bundleID"_L1, "appDisplayName"_L1, "inputSourceID"_L1,
                                       "inputSourceDisplayName"_L1});
    const QJsonValue totalSeconds = object.value("totalSeconds"_L1);
    const QJsonValue days = object.value("daysObserved"_L1);
    // Time is only ever added up, so a negative total was never measured; taken as it is, it
    // would lift the share of another source above the whole.
    if (!names || !totalSeconds.isDouble() || totalSeconds.toDouble() < 0 || !days.isArray())
        return std::nullopt;
    QSet<QString> daysObserved;
    for (const QJsonValue& day : days.toArray()) {
        if (!day.isString())
            return std::nullopt;
        daysObserved.insert(day.toString());
    }
    return UsageSample{
        names->at(0),           names->at(1), names->at(2), names->at(3), totalSeconds.toDouble(),
        std::move(daysObserved)};
}

} // namespace korvalen
