#pragma once

#include <QString>

namespace korvalen {

// An application rule proposed from usage: the source the application has been used with for
// most of its time.
struct RuleSuggestion {
    QString bundleID;
    QString appDisplayName;
    QString inputSourceID;
    QString inputSourceDisplayName;
    int sharePercent = 0; // rounded down, 80 to 100

    friend bool operator==(const RuleSuggestion&, const RuleSuggestion&) = default;
};

} // namespace korvalen
