#include "RecordsRoundTrip.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "rules/RuleStore.h"

using namespace korvalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Both lists stored as the same bytes, as a hand-edited settings file may hold anything.
    const QByteArray stored = fuzz::bytesOf(data, size);
    InMemoryUserDefaults defaults(
        {{RuleStore::rulesKey, stored}, {RuleStore::websiteRulesKey, stored}});
    RuleStore store(defaults);
    fuzz::requireRecordsRoundTrip(store.rules());
    fuzz::requireRecordsRoundTrip(store.websiteRules());

    // The first change saves the lists; a stored value that could not be read is kept aside.
    store.upsert(AppRule{QStringLiteral("org.gnome.Terminal"), QStringLiteral("Terminal"),
                         QStringLiteral("xkb:us"), QStringLiteral("English (US)")});
    store.upsert(WebsiteRule{QStringLiteral("example.com"), QStringLiteral("xkb:ru"),
                             QStringLiteral("Russian")});
    fuzz::require(store.ruleForBundleID(QStringLiteral("org.gnome.Terminal")).has_value() &&
                      store.websiteRuleForDomain(QStringLiteral("example.com")).has_value(),
                  "an added rule is found");
    const auto setAside =
        defaults.objectForKey(RuleStore::rulesKey + QStringLiteral(".unreadable"));
    const bool readable = decodeJsonRecords<AppRule>(stored).has_value();
    fuzz::require(readable != setAside.has_value(), "only an unreadable list is set aside");
    fuzz::require(readable || setAside->toByteArray() == stored, "the list set aside is whole");
    return 0;
}
