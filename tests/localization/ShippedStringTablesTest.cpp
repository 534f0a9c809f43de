#include "localization/Localized.h"
#include "localization/ResourceBundle.h"
#include "localization/StringFormat.h"
#include "localization/StringsTable.h"
#include "platform/Platform.h"
#include "platform/sim/InMemoryUserDefaults.h"
#include "rules/RuleStore.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

const QString sourceFolder = QStringLiteral(KORVALEN_SOURCE_DIR "/src");
const QString shippedBundle = sourceFolder + u"/app/resources/Korvalen_Korvalen.bundle"_s;

// The 18 interface languages of the status menu's language submenu.
const QStringList interfaceLanguages{
    u"ar"_s, u"de"_s, u"el"_s, u"en"_s, u"es"_s, u"fr"_s, u"he"_s, u"id"_s,      u"it"_s,
    u"ja"_s, u"ko"_s, u"ms"_s, u"pt"_s, u"ru"_s, u"th"_s, u"vi"_s, u"zh-Hans"_s, u"zh-Hant"_s};

std::map<QString, StringsTable> shippedTables()
{
    std::map<QString, StringsTable> tables;
    for (const QString& code : interfaceLanguages) {
        const auto table =
            StringsTable::fromFile(shippedBundle + u'/' + code + u".lproj/Localizable.strings"_s);
        tables[code] = table.value_or(StringsTable());
    }
    return tables;
}

// The placeholders of a format text in comparable form: each "%@" or "%d" as its position and
// conversion (sequential ones numbered in order), "%%" as itself, any other "%" as "stray".
QStringList placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(%(?:(%)|(?:(\d+)\$)?([@d]))?)"));
    QStringList found;
    int sequential = 0;
    for (const auto& match : pattern.globalMatch(text)) {
        if (match.hasCaptured(1))
            found.append(u"%%"_s);
        else if (!match.hasCaptured(3))
            found.append(u"stray"_s);
        else if (match.hasCaptured(2))
            found.append(match.captured(2) + u'$' + match.captured(3));
        else
            found.append(QString::number(++sequential) + u'$' + match.captured(3));
    }
    found.sort();
    return found;
}

struct LookedUpTexts {
    QSet<QString> literals;
    QStringList otherArguments; // "file:line", for calls whose text cannot be checked
};

// The text of a C++ string literal's body; only the escapes that user-visible texts need.
QString unescapedLiteral(const QString& body)
{
    QString text;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i) != u'\\' || i + 1 == body.size()) {
            text.append(body.at(i));
            continue;
        }
        const QChar escaped = body.at(++i);
        text.append(escaped == u'n' ? QChar(u'\n') : escaped == u't' ? QChar(u'\t') : escaped);
    }
    return text;
}

// The texts that a piece of C++ passes to the free function localized(): a string literal,
// plain, u"" or in QStringLiteral. Declarations and calls of other classes' members are not
// calls of the free function.
void collectLookedUpTexts(const QString& code, const QString& where, LookedUpTexts& texts)
{
    static const QRegularExpression call(QStringLiteral(R"((?<![\w:.>])localized\(\s*)"));
    static const QRegularExpression literal(
        QStringLiteral(R"re(\G(?:QStringLiteral\(\s*)?u?"((?:[^"\\\n]|\\.)*)")re"));
    for (const auto& match : call.globalMatch(code)) {
        const qsizetype argumentAt = match.capturedEnd();
        const QRegularExpressionMatch text = literal.match(code, argumentAt);
        if (text.hasMatch()) {
            texts.literals.insert(unescapedLiteral(text.captured(1)));
        }
        else if (!QStringView(code).sliced(argumentAt).startsWith(u"const ") &&
                 !QStringView(code).sliced(argumentAt).startsWith(u')')) {
            const qsizetype line = QStringView(code).first(argumentAt).count(u'\n') + 1;
            texts.otherArguments.append(where + u':' + QString::number(line));
        }
    }
}

LookedUpTexts lookedUpTextsInSources()
{
    LookedUpTexts texts;
    QDirIterator files(sourceFolder, {u"*.cpp"_s, u"*.h"_s, u"*.mm"_s}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            collectLookedUpTexts(QString::fromUtf8(file.readAll()), file.fileName(), texts);
    }
    return texts;
}

} // namespace

TEST(ShippedStringTables, EveryInterfaceLanguageHasACompleteTableWithTheSameKeys)
{
    const auto bundle = Bundle::open(shippedBundle);
    ASSERT_TRUE(bundle.has_value());
    EXPECT_EQ(bundle->localizations(), interfaceLanguages);

    const auto tables = shippedTables();
    const QHash<QString, QString>& development = tables.at(u"zh-Hans"_s).entries();
    EXPECT_GE(development.size(), 50);
    for (auto it = development.cbegin(); it != development.cend(); ++it)
        EXPECT_EQ(it.value(), it.key()) << "the development table shows the texts as written";

    const auto developmentKeys = QSet<QString>(development.keyBegin(), development.keyEnd());
    for (const auto& [code, table] : tables) {
        EXPECT_TRUE(table.isComplete()) << code.toStdString();
        const auto keys = QSet<QString>(table.entries().keyBegin(), table.entries().keyEnd());
        EXPECT_EQ(keys - developmentKeys, QSet<QString>()) << code.toStdString();
        EXPECT_EQ(developmentKeys - keys, QSet<QString>()) << code.toStdString();
    }
}

TEST(ShippedStringTables, EveryTranslationKeepsThePlaceholdersOfItsKey)
{
    for (const auto& [code, table] : shippedTables()) {
        const auto& entries = table.entries();
        for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
            const std::string context = (code + u' ' + it.key()).toStdString();
            EXPECT_EQ(placeholders(it.value()), placeholders(it.key())) << context;
            EXPECT_FALSE(it.value().trimmed().isEmpty()) << context;
            EXPECT_EQ(it.value().back().isSpace(), it.key().back().isSpace())
                << context << ": a text that is continued keeps its trailing space";
        }
    }
}

TEST(ShippedStringTables, PlaceholderComparisonSeesEveryKindOfFault)
{
    const QString key = u"「%1$@」%2$d%% 时间用「%3$@」"_s;
    EXPECT_EQ(placeholders(u"%3$@ · %1$@ · %2$d%%"_s), placeholders(key));
    for (const char* faulty : {"%1$@ %2$d %3$@", "%1$@ %2$d%% %3$@ %3$@", "%1$@ %2$@%% %3$@",
                               "%1$@ %2$d% %3$@", "%1$@ %2$d%% %@"})
        EXPECT_NE(placeholders(QString::fromLatin1(faulty)), placeholders(key)) << faulty;
    EXPECT_EQ(placeholders(u"%@ → %@"_s), placeholders(u"%1$@ ← %2$@"_s));
}

TEST(ShippedStringTables, EveryLookedUpTextHasAnEntryInEveryTable)
{
    const LookedUpTexts texts = lookedUpTextsInSources();
    EXPECT_EQ(texts.otherArguments, QStringList())
        << "pass localized() a literal text, so that this test can check the tables";
    for (const auto& [code, table] : shippedTables()) {
        for (const QString& text : texts.literals)
            EXPECT_TRUE(table.value(text).has_value())
                << code.toStdString() << " has no entry for " << text.toStdString();
    }
}

TEST(ShippedStringTables, TheSourceReaderFindsLiteralsAndFlagsOtherArguments)
{
    LookedUpTexts texts;
    collectLookedUpTexts(QStringLiteral(R"(
        menu.addItem(localized(QStringLiteral("语言")));
        title = localized( u"Korvalen 规则管理"_s);
        line = formatted(localized(QStringLiteral(
            "锁定中：%@")), {name});
        quoted = localized(QStringLiteral("say \"hi\"\\n"));
        QString localized(const QString& text);
        QString Localizer::localized(const QString& text) const
        return sharedLocalizer().localized(text);
        // the lookup, localized(), reads afresh
        note = localized(explanationFor(mode));
    )"),
                         u"Sample.cpp"_s, texts);
    EXPECT_EQ(texts.literals, (QSet<QString>{u"语言"_s, u"Korvalen 规则管理"_s, u"锁定中：%@"_s,
                                             u"say \"hi\"\\n"_s}));
    EXPECT_EQ(texts.otherArguments, QStringList{u"Sample.cpp:11"_s});
}

TEST(SharedLocalization, LooksUpInTheShippedBundleInTheStoresLanguage)
{
    auto platform = std::make_unique<Platform>();
    platform->userDefaults = std::make_unique<InMemoryUserDefaults>();
    Platform::install(std::move(platform));

    ASSERT_TRUE(resourceBundle().has_value());
    EXPECT_EQ(resourceBundle()->path(), shippedBundle)
        << "found in the source tree when the program is not installed";

    RuleStore::shared().setLanguageOverride(u"de"_s);
    EXPECT_EQ(resolveCurrentLocalization().languageCode, u"de"_s);
    EXPECT_EQ(localized(u"语言"_s), u"Sprache"_s);

    RuleStore::shared().setLanguageOverride(u"en-AU"_s);
    EXPECT_EQ(formatted(localized(u"根据历史使用，「%1$@」%2$d%% 时间用「%3$@」"_s),
                        {u"Terminal"_s, 85, u"ABC"_s}),
              u"Based on past use, “Terminal” uses “ABC” 85% of the time"_s);

    RuleStore::shared().setLanguageOverride(u"he"_s);
    EXPECT_TRUE(isRightToLeft(resolveCurrentLocalization().languageCode));
}
