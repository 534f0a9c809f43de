#include "rules/AppRule.h"

#include "support/JsonRecords.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

QJsonObject AppRule::toJson() const
{
    return {{"bundleID"_L1, bundleID},
            {"appDisplayName"_L1, appDisplayName},
            {"inputSourceID"_L1, inputSourceID},
            {"inputSourceDisplayName"_L1, inputSourceDisplayName}};
}

std::optional<AppRule> AppRule::fromJson(const QJsonObject& object)
{
    const auto members =
        requiredStringMembers(object, {"bundleID"_L1, "appDisplayName"_L1, "inputSourceID"_L1,
                                       "inputSourceDisplayName"_L1});
    if (!members)
        return std::nullopt;
    return AppRule{members->at(0), members->at(1), members->at(2), members->at(3)};
}

} // namespace korvalen
