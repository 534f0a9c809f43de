#include "app/LanguageMatching.h"

#include <gtest/gtest.h>

using namespace korvalen;

namespace {

const QStringList shippedLanguages{
    QStringLiteral("ar"),      QStringLiteral("de"),     QStringLiteral("el"), QStringLiteral("en"),
    QStringLiteral("es"),      QStringLiteral("fr"),     QStringLiteral("he"), QStringLiteral("id"),
    QStringLiteral("it"),      QStringLiteral("ja"),     QStringLiteral("ko"), QStringLiteral("ms"),
    QStringLiteral("pt"),      QStringLiteral("ru"),     QStringLiteral("th"), QStringLiteral("vi"),
    QStringLiteral("zh-Hans"), QStringLiteral("zh-Hant")};

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
    EXPECT_EQ(match({"zh-Hant"}, {QStringLiteral("zh-Hans"), QStringLiteral("ja")}), std::nullopt);
    EXPECT_EQ(match({"zh-CN"}, {QStringLiteral("zh-Hant")}), std::nullopt);
    EXPECT_EQ(match({"en"}, {}), std::nullopt);
}

TEST(LanguageMatching, TheFirstPreferenceThatMatchesDecides)
{
    EXPECT_EQ(match({"nl-BE", "de-CH", "fr"}), QStringLiteral("de"))
        << "a regional match of an earlier preference beats an exact match of a later one";
    EXPECT_EQ(match({"xx", "ko"}), QStringLiteral("ko"));
}

TEST(LanguageMatching, PrefersTheSameCodeThenNoRegionThenAnotherRegion)
{
    const QStringList english{QStringLiteral("en-AU"), QStringLiteral("en"),
                              QStringLiteral("en-GB")};
    EXPECT_EQ(match({"en-GB"}, english), QStringLiteral("en-GB"));
    EXPECT_EQ(match({"en-US"}, english), QStringLiteral("en"));
    EXPECT_EQ(match({"pt-PT"}, {QStringLiteral("pt-BR")}), QStringLiteral("pt-BR"));
    EXPECT_EQ(match({"pt"}, {QStringLiteral("pt-BR")}), QStringLiteral("pt-BR"));
    EXPECT_EQ(match({"zh-TW"}, {QStringLiteral("zh-Hant-HK"), QStringLiteral("zh-Hant-TW")}),
              QStringLiteral("zh-Hant-TW"));
    EXPECT_EQ(match({"qq-AA"}, {QStringLiteral("qq")}), QStringLiteral("qq"))
        << "codes unknown to the locale database still match by their written subtags";
}
