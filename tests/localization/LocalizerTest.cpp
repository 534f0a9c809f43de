#include "localization/Localizer.h"
#include "localization/ResourceBundle.h"
#include "platform/sim/InMemoryUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString language = u"语言"_s;

// A resource bundle in a temporary folder, with one table per language code that translates
// "语言" to the given text.
class TemporaryBundle {
public:
    explicit TemporaryBundle(const QMap<QString, QString>& translations = {})
    {
        QDir(m_folder.path()).mkdir(u"Korvalen_Korvalen.bundle"_s);
        for (auto it = translations.cbegin(); it != translations.cend(); ++it)
            addLocalization(it.key(), u"\"语言\" = \"%1\";\n"_s.arg(it.value()));
    }

    void addLocalization(const QString& code, const QString& table) const
    {
        const QString folder = path() + u'/' + code + u".lproj"_s;
        QDir().mkpath(folder);
        QFile file(folder + u"/Localizable.strings"_s);
        if (file.open(QIODevice::WriteOnly))
            file.write(table.toUtf8());
    }

    QString path() const { return m_folder.filePath(u"Korvalen_Korvalen.bundle"_s); }
    std::optional<Bundle> bundle() const { return Bundle::open(path()); }

private:
    QTemporaryDir m_folder;
};

struct LocalizerFixture : ::testing::Test {
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    QStringList systemLanguages{u"fr-CA"_s, u"en-US"_s};
    TemporaryBundle bundle{{{u"en"_s, u"Language"_s},
                            {u"fr"_s, u"Langue"_s},
                            {u"ms"_s, u"Bahasa"_s},
                            {u"ar"_s, u"اللغة"_s},
                            {u"zh-Hant"_s, u"語言"_s}}};

    Localizer localizer(std::optional<Bundle> resourceBundle)
    {
        return Localizer(std::move(resourceBundle), store, [this] { return systemLanguages; });
    }
};

} // namespace

TEST_F(LocalizerFixture, FollowsTheSystemPreferencesWithoutAnOverride)
{
    const Localizer subject = localizer(bundle.bundle());
    EXPECT_EQ(subject.resolveCurrentLocalization().languageCode, u"fr"_s)
        << "a regional variant finds the plain language";
    EXPECT_EQ(subject.localized(language), u"Langue"_s);

    systemLanguages = {u"zh-HK"_s, u"en"_s};
    EXPECT_EQ(subject.localized(language), u"語言"_s)
        << "the system preferences are read again for every lookup";
}

TEST_F(LocalizerFixture, TheOverrideWinsAndItsRemovalHandsBackToTheSystem)
{
    const Localizer subject = localizer(bundle.bundle());
    store.setLanguageOverride(u"ms"_s);
    const Localization malay = subject.resolveCurrentLocalization();
    EXPECT_EQ(malay.languageCode, u"ms"_s);
    ASSERT_TRUE(malay.bundle.has_value());
    EXPECT_EQ(malay.bundle->path(), bundle.path() + u"/ms.lproj"_s);
    EXPECT_EQ(subject.localized(language), u"Bahasa"_s);

    store.setLanguageOverride(u"en-GB"_s);
    EXPECT_EQ(subject.localized(language), u"Language"_s)
        << "an override without its own folder is matched like a preference";

    store.setLanguageOverride(u"ar"_s);
    const QString arabic = subject.resolveCurrentLocalization().languageCode;
    EXPECT_EQ(arabic, u"ar"_s);
    EXPECT_TRUE(isRightToLeft(arabic));
    EXPECT_TRUE(isRightToLeft(u"he"_s));
    EXPECT_FALSE(isRightToLeft(u"ms"_s));

    store.setLanguageOverride(std::nullopt);
    EXPECT_EQ(subject.localized(language), u"Langue"_s);
}

TEST_F(LocalizerFixture, NothingMatchingGivesTheDevelopmentTexts)
{
    const Localizer subject = localizer(bundle.bundle());
    for (const char* code : {"de", "zh-Hans", "", "../en"}) {
        store.setLanguageOverride(QString::fromLatin1(code));
        const Localization localization = subject.resolveCurrentLocalization();
        EXPECT_EQ(localization.languageCode, u"zh-Hans"_s) << code;
        EXPECT_EQ(localization.bundle->path(), bundle.path()) << code;
        EXPECT_EQ(subject.localized(language), language) << code;
    }
}

TEST_F(LocalizerFixture, MissingBundlesTablesAndEntriesGiveTheDevelopmentText)
{
    store.setLanguageOverride(u"fr"_s);
    EXPECT_FALSE(localizer(std::nullopt).resolveCurrentLocalization().bundle.has_value());
    TemporaryBundle empty;
    for (std::optional<Bundle> missing : {std::optional<Bundle>(), empty.bundle()}) {
        const Localizer subject = localizer(missing);
        EXPECT_EQ(subject.resolveCurrentLocalization().languageCode, u"zh-Hans"_s);
        EXPECT_EQ(subject.localized(language), language);
    }

    bundle.addLocalization(u"de"_s, u"\"添加\" = \"Hinzufügen\";"_s);
    bundle.addLocalization(u"ja"_s, u"\"添加\" = \"追加\"; broken"_s);
    QDir().mkpath(bundle.path() + u"/ko.lproj"_s);
    const Localizer subject = localizer(bundle.bundle());
    for (const char* code : {"de", "ja", "ko"}) {
        store.setLanguageOverride(QString::fromLatin1(code));
        EXPECT_EQ(subject.resolveCurrentLocalization().languageCode, QString::fromLatin1(code));
        EXPECT_EQ(subject.localized(language), language) << code;
    }
    store.setLanguageOverride(u"ja"_s);
    EXPECT_EQ(subject.localized(u"添加"_s), u"追加"_s)
        << "entries before a fault in the table still serve";
}

TEST(ResourceBundleLocation, TakesTheFirstFolderAndReportsWhenThereIsNone)
{
    TemporaryBundle first;
    TemporaryBundle second;
    const QString missing = first.path() + u"/missing"_s;
    QString errors;
    QTextStream errorStream(&errors);

    auto found = findResourceBundle({first.path(), second.path()}, errorStream);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path(), first.path());
    found = findResourceBundle({missing, second.path()}, errorStream);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->path(), second.path());
    EXPECT_EQ(errors, QString());

    EXPECT_FALSE(findResourceBundle({missing, missing + u'2'}, errorStream).has_value());
    EXPECT_EQ(errors, u"could not load resource bundle: from %1 or %1%2\n"_s.arg(missing, u"2"_s));
}
