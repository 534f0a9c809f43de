#include "app/Localizer.h"
#include "app/ResourceBundle.h"
#include "platform/sim/InMemoryUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace korvalen;

namespace {

const QString language = QStringLiteral("语言");

// A resource bundle in a temporary folder, with one table per language code that translates
// "语言" to the given text.
class TemporaryBundle {
public:
    explicit TemporaryBundle(const QMap<QString, QString>& translations = {})
    {
        QDir(m_folder.path()).mkdir(QStringLiteral("Korvalen_Korvalen.bundle"));
        for (auto it = translations.cbegin(); it != translations.cend(); ++it)
            addLocalization(it.key(), QStringLiteral("\"语言\" = \"%1\";\n").arg(it.value()));
    }

    void addLocalization(const QString& code, const QString& table) const
    {
        const QString folder = path() + u'/' + code + QStringLiteral(".lproj");
        QDir().mkpath(folder);
        QFile file(folder + QStringLiteral("/Localizable.strings"));
        if (file.open(QIODevice::WriteOnly))
            file.write(table.toUtf8());
    }

    QString path() const { return m_folder.filePath(QStringLiteral("Korvalen_Korvalen.bundle")); }
    std::optional<Bundle> bundle() const { return Bundle::open(path()); }

private:
    QTemporaryDir m_folder;
};

struct LocalizerFixture : ::testing::Test {
    InMemoryUserDefaults defaults;
    RuleStore store{defaults};
    QStringList systemLanguages{QStringLiteral("fr-CA"), QStringLiteral("en-US")};
    TemporaryBundle bundle{{{QStringLiteral("en"), QStringLiteral("Language")},
                            {QStringLiteral("fr"), QStringLiteral("Langue")},
                            {QStringLiteral("ms"), QStringLiteral("Bahasa")},
                            {QStringLiteral("ar"), QStringLiteral("اللغة")},
                            {QStringLiteral("zh-Hant"), QStringLiteral("語言")}}};

    Localizer localizer(std::optional<Bundle> resourceBundle)
    {
        return Localizer(std::move(resourceBundle), store, [this] { return systemLanguages; });
    }
};

} // namespace

TEST_F(LocalizerFixture, FollowsTheSystemPreferencesWithoutAnOverride)
{
    const Localizer subject = localizer(bundle.bundle());
    EXPECT_EQ(subject.resolveCurrentLocalization().languageCode, QStringLiteral("fr"))
        << "a regional variant finds the plain language";
    EXPECT_EQ(subject.localized(language), QStringLiteral("Langue"));

    systemLanguages = {QStringLiteral("zh-HK"), QStringLiteral("en")};
    EXPECT_EQ(subject.localized(language), QStringLiteral("語言"))
        << "the system preferences are read again for every lookup";
}

TEST_F(LocalizerFixture, TheOverrideWinsAndItsRemovalHandsBackToTheSystem)
{
    const Localizer subject = localizer(bundle.bundle());
    store.setLanguageOverride(QStringLiteral("ms"));
    const Localization malay = subject.resolveCurrentLocalization();
    EXPECT_EQ(malay.languageCode, QStringLiteral("ms"));
    ASSERT_TRUE(malay.bundle.has_value());
    EXPECT_EQ(malay.bundle->path(), bundle.path() + QStringLiteral("/ms.lproj"));
    EXPECT_EQ(subject.localized(language), QStringLiteral("Bahasa"));

    store.setLanguageOverride(QStringLiteral("en-GB"));
    EXPECT_EQ(subject.localized(language), QStringLiteral("Language"))
        << "an override without its own folder is matched like a preference";

    store.setLanguageOverride(QStringLiteral("ar"));
    const QString arabic = subject.resolveCurrentLocalization().languageCode;
    EXPECT_EQ(arabic, QStringLiteral("ar"));
    EXPECT_TRUE(isRightToLeft(arabic));
    EXPECT_TRUE(isRightToLeft(QStringLiteral("he")));
    EXPECT_FALSE(isRightToLeft(QStringLiteral("ms")));

    store.setLanguageOverride(std::nullopt);
    EXPECT_EQ(subject.localized(language), QStringLiteral("Langue"));
}

TEST_F(LocalizerFixture, NothingMatchingGivesTheDevelopmentTexts)
{
    const Localizer subject = localizer(bundle.bundle());
    for (const char* code : {"de", "zh-Hans", "", "../en"}) {
        store.setLanguageOverride(QString::fromLatin1(code));
        const Localization localization = subject.resolveCurrentLocalization();
        EXPECT_EQ(localization.languageCode, QStringLiteral("zh-Hans")) << code;
        EXPECT_EQ(localization.bundle->path(), bundle.path()) << code;
        EXPECT_EQ(subject.localized(language), language) << code;
    }
}

TEST_F(LocalizerFixture, MissingTablesAndEntriesGiveTheDevelopmentText)
{
    TemporaryBundle empty;
    EXPECT_EQ(localizer(empty.bundle()).resolveCurrentLocalization().languageCode,
              QStringLiteral("zh-Hans"));
    EXPECT_EQ(localizer(empty.bundle()).localized(language), language);

    bundle.addLocalization(QStringLiteral("de"), QStringLiteral("\"添加\" = \"Hinzufügen\";"));
    bundle.addLocalization(QStringLiteral("ja"), QStringLiteral("\"添加\" = \"追加\"; broken"));
    QDir().mkpath(bundle.path() + QStringLiteral("/ko.lproj"));
    const Localizer subject = localizer(bundle.bundle());
    for (const char* code : {"de", "ja", "ko"}) {
        store.setLanguageOverride(QString::fromLatin1(code));
        EXPECT_EQ(subject.resolveCurrentLocalization().languageCode, QString::fromLatin1(code));
        EXPECT_EQ(subject.localized(language), language) << code;
    }
    store.setLanguageOverride(QStringLiteral("ja"));
    EXPECT_EQ(subject.localized(QStringLiteral("添加")), QStringLiteral("追加"))
        << "entries before a fault in the table still serve";
}

TEST_F(LocalizerFixture, AMissingBundleShowsTheDevelopmentTexts)
{
    const Localizer subject = localizer(std::nullopt);
    store.setLanguageOverride(QStringLiteral("fr"));
    const Localization localization = subject.resolveCurrentLocalization();
    EXPECT_FALSE(localization.bundle.has_value());
    EXPECT_EQ(localization.languageCode, QStringLiteral("zh-Hans"));
    EXPECT_EQ(subject.localized(language), language);
}

TEST(ResourceBundleLocation, TakesTheFirstFolderAndReportsWhenThereIsNone)
{
    TemporaryBundle first;
    TemporaryBundle second;
    const QString missing = first.path() + QStringLiteral("/missing");
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
    EXPECT_EQ(errors, QStringLiteral("could not load resource bundle: from %1 or %1%2\n")
                          .arg(missing, QStringLiteral("2")));
}
