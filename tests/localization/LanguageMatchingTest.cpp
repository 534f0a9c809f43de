#include "localization/LanguageMatching.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList shippedLanguages{u"ar"_s, u"de"_s, u"el"_s, u"en"_s, u"es"_s,      u"fr"_s,
                                   u"he"_s, u"id"_s, u"it"_s, u"ja"_s, u"ko"_s,      u"ms"_s,
                                   u"pt"_s, u"ru"_s, u"th"_s, u"vi"_s, u"zh-Hans"_s, u"zh-Hant"_s};

std::optional<QString> match(std::initializer_list<const char*> preferences,
                             const QStringList& available = shippedLanguages)
{
    QStringList list;
    for (const char* preference : preferences)
        list.append(QString::fromLatin1(preference));
    return bestLocalization(list, available);
}

} // namespace

TEST(LanguageMatching, RegionalAndScriptVariantsFindTheirLanguage)
{
    const struct {
        const char* preference;
        const char* expected;
    } cases[] = {
        {"fr", "fr"},         {"fr-CA", "fr"},           {"pt-BR", "pt"},
        {"pt-PT", "pt"},      {"en_US", "en"},           {"EN-gb", "en"},
        {"de-Latn-AT", "de"}, {"zh-Hant-TW", "zh-Hant"}, {"zh-Hans-CN", "zh-Hans"},
        {"zh-TW", "zh-Hant"}, {"zh-HK", "zh-Hant"},      {"zh-MO", "zh-Hant"},
        {"zh-CN", "zh-Hans"}, {"zh-SG", "zh-Hans"},      {"zh", "zh-Hans"},
        {"iw", "he"},         {"in-ID", "id"},           {"ms-MY", "ms"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(match({c.preference}), QString::fromLatin1(c.expected)) << c.preference;
}

TEST(LanguageMatching, NoMatchAcrossLanguagesOrScripts)
{
    for (const char* preference : {"nl", "sr-Latn", "xx", "", "C", "yue"})
        EXPECT_EQ(match({preference}), std::nullopt) << preference;
    EXPECT_EQ(match({"zh-Hant"}, {u"zh-Hans"_s, u"ja"_s}), std::nullopt);
    EXPECT_EQ(match({"zh-CN"}, {u"zh-Hant"_s}), std::nullopt);
    EXPECT_EQ(match({"en"}, {}), std::nullopt);
}

TEST(LanguageMatching, TheFirstPreferenceThatMatchesDecides)
{
    EXPECT_EQ(match({"nl-BE", "de-CH", "fr"}), u"de"_s)
        << "a regional match of an earlier preference beats an exact match of a later one";
    EXPECT_EQ(match({"xx", "ko"}), u"ko"_s);
}

TEST(LanguageMatching, PrefersTheSameCodeThenNoRegionThenAnotherRegion)
{
    const QStringList english{u"en-AU"_s, u"en"_s, u"en-GB"_s};
    EXPECT_EQ(match({"en-GB"}, english), u"en-GB"_s);
    EXPECT_EQ(match({"en-US"}, english), u"en"_s);
    EXPECT_EQ(match({"pt-PT"}, {u"pt-BR"_s}), u"pt-BR"_s);
    EXPECT_EQ(match({"pt"}, {u"pt-BR"_s}), u"pt-BR"_s);
    EXPECT_EQ(match({"zh-TW"}, {u"zh-Hant-HK"_s, u"zh-Hant-TW"_s}), u"zh-Hant-TW"_s);
    EXPECT_EQ(match({"qq-AA"}, {u"qq"_s}), u"qq"_s)
        << "codes unknown to the locale database still match by their written subtags";
}
