#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "usage/UsageBaselineTracker.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace korvalen;

namespace {

const QString app = QStringLiteral("org.example.Editor");

struct Usage {
    const char* sourceID;
    double seconds;
    int days;
};

// A tracker loaded with the given usage of `app`, as a previous launch would have stored it.
class RuleSuggestionTest : public ::testing::Test {
protected:
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    SimWorkspace workspace;
    SimulatedTextInputSources inputSources;
    SimClock clock{QDateTime::currentDateTime()};

    std::optional<RuleSuggestion> suggestionAfter(std::initializer_list<Usage> usage)
    {
        QJsonArray samples;
        for (const Usage& u : usage) {
            QJsonArray days;
            for (int day = 1; day <= u.days; ++day)
                days.append(QStringLiteral("2026-11-%1").arg(day, 2, 10, QLatin1Char('0')));
            samples.append(
                QJsonObject{{"bundleID", app},
                            {"appDisplayName", "Editor"},
                            {"inputSourceID", u.sourceID},
                            {"inputSourceDisplayName", QString::fromLatin1(u.sourceID) + " name"},
                            {"totalSeconds", u.seconds},
                            {"daysObserved", days}});
        }
        InMemoryUserDefaults stored({{UsageBaselineTracker::samplesKey,
                                      QJsonDocument(samples).toJson(QJsonDocument::Compact)}});
        UsageBaselineTracker tracker(stored, workspace, inputSources, clock, store);
        return tracker.suggestionForBundleID(app);
    }
};

} // namespace

TEST_F(RuleSuggestionTest, ThresholdsPassAtExactlyTheirValues)
{
    EXPECT_EQ(suggestionAfter({{"A", 240, 3}, {"B", 60, 1}}),
              (RuleSuggestion{app, "Editor", "A", "A name", 80}))
        << "300 s in all and a share of 0.8 both pass";
    EXPECT_EQ(suggestionAfter({{"A", 2000, 3}})->sharePercent, 100);
}

TEST_F(RuleSuggestionTest, EachThresholdAloneRejects)
{
    EXPECT_FALSE(suggestionAfter({{"A", 239.9, 3}, {"B", 60.1, 3}})) << "share 0.7997";
    EXPECT_FALSE(suggestionAfter({{"A", 290, 10}})) << "total below 300 s";
    EXPECT_FALSE(suggestionAfter({{"A", 2000, 2}})) << "two days";
    EXPECT_FALSE(suggestionAfter({{"A", 100, 5}, {"B", 100, 5}, {"C", 100, 5}}));
    EXPECT_FALSE(suggestionAfter({{"A", 250, 1}, {"B", 3000, 2}}))
        << "days count for the best pair only";
    EXPECT_FALSE(suggestionAfter({}));
}

TEST_F(RuleSuggestionTest, PercentIsTruncatedNeverRoundedUp)
{
    EXPECT_EQ(suggestionAfter({{"A", 999, 3}, {"B", 1, 1}})->sharePercent, 99);
    EXPECT_EQ(suggestionAfter({{"A", 830, 3}, {"B", 170, 1}})->sharePercent, 83);
    EXPECT_EQ(suggestionAfter({{"A", 8999, 3}, {"B", 1001, 1}})->sharePercent, 89);
}

TEST_F(RuleSuggestionTest, HandEditedTotalsNeverGiveAShareBeyondTheWhole)
{
    EXPECT_EQ(suggestionAfter({{"A", 1e307, 3}})->sharePercent, 100)
        << "a total whose hundredfold is beyond any double";
    EXPECT_FALSE(suggestionAfter({{"A", 1000, 3}, {"B", -500, 1}}))
        << "a negative total, which would make A's share 200 %";
}

TEST_F(RuleSuggestionTest, AnyExistingRuleSuppressesTheSuggestion)
{
    store.upsert(AppRule{app, "Editor", "B", "B name"});
    EXPECT_FALSE(suggestionAfter({{"A", 2000, 5}}));
}
