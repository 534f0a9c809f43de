#include "rules/WebsiteRule.h"

#include "support/JsonRecords.h"

namespace korvalen {

using namespace Qt::Literals::StringLiterals;

QJsonObject WebsiteRule::toJson() const
{
    return {{"domain"_L1, domain},
            {"inputSourceID"_L1, inputSourceID},
            {"inputSourceDisplayName"_L1, inputSourceDisplayName}};
}

std::optional<WebsiteRule> WebsiteRule::fromJson(const QJsonObject& object)
{
    const auto members = requiredStringMembers(
        object, {"domain"_L1, "inputSourceID"_L1, "inputSourceDisplayName"_L1});
    if (!members)
        return std::nullopt;
    return WebsiteRule{members->at(0), members->at(1), members->at(2)};
}

} // namespace korvalen
