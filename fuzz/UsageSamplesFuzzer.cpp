#include "RecordsRoundTrip.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimWorkspace.h"
#include "platform/sim/SimulatedTextInputSources.h"
#include "usage/UsageBaselineTracker.h"

#include <QTimeZone>

using namespace korvalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InMemoryUserDefaults defaults({{UsageBaselineTracker::samplesKey, fuzz::bytesOf(data, size)}});
    SimWorkspace workspace;
    SimulatedTextInputSources inputSources;
    const SimClock clock{QDateTime(QDate(2026, 12, 6), QTime(8, 0), QTimeZone::utc())};
    RuleStore store(defaults);
    const UsageBaselineTracker tracker(defaults, workspace, inputSources, clock, store);

    const QList<UsageSample> samples = tracker.samples().values();
    fuzz::requireRecordsRoundTrip(samples);
    for (const UsageSample& sample : samples) {
        const auto suggestion = tracker.suggestionForBundleID(sample.bundleID);
        fuzz::require(!suggestion ||
                          (suggestion->sharePercent >= UsageBaselineTracker::minShare * 100 &&
                           suggestion->sharePercent <= 100),
                      "a suggestion's share is a percentage of at least the minimum share");
    }
    return 0;
}
