#include "platform/sim/InMemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace korvalen;

namespace {
const QString key = QStringLiteral("k");

InMemoryUserDefaults holding(const QVariant& value)
{
    return InMemoryUserDefaults({{key, value}});
}
} // namespace

TEST(UserDefaultsTypedReaders, AbsentEntryGivesNoneAndFalse)
{
    const InMemoryUserDefaults defaults;
    EXPECT_FALSE(defaults.hasObjectForKey(key));
    EXPECT_EQ(defaults.stringForKey(key), std::nullopt);
    EXPECT_EQ(defaults.dataForKey(key), std::nullopt);
    EXPECT_FALSE(defaults.boolForKey(key));
}

TEST(UserDefaultsTypedReaders, EachReaderAcceptsOnlyItsKind)
{
    EXPECT_EQ(holding(QByteArray("x")).stringForKey(key), std::nullopt);
    EXPECT_EQ(holding(QStringLiteral("x")).dataForKey(key), std::nullopt);
    EXPECT_EQ(holding(QStringList{QStringLiteral("a"), QStringLiteral("b")}).stringForKey(key),
              std::nullopt);
    EXPECT_EQ(holding(QStringLiteral("")).stringForKey(key), QString());
    EXPECT_EQ(holding(QByteArray()).dataForKey(key), QByteArray());
}

TEST(UserDefaultsTypedReaders, StoredFalseIsPresentAndFalse)
{
    const auto defaults = holding(false);
    EXPECT_TRUE(defaults.hasObjectForKey(key));
    EXPECT_FALSE(defaults.boolForKey(key));
}

TEST(UserDefaultsTypedReaders, TruthValuesReadFromTextsAndNumbers)
{
    for (const char* text : {"true", "TRUE", "yes", "YES", "1", "  +007", "t"})
        EXPECT_TRUE(holding(QString::fromLatin1(text)).boolForKey(key)) << text;
    for (const char* text : {"false", "no", "0", "000", "", "  ", "maybe", "-"})
        EXPECT_FALSE(holding(QString::fromLatin1(text)).boolForKey(key)) << text;
    EXPECT_TRUE(holding(2).boolForKey(key));
    EXPECT_FALSE(holding(0.0).boolForKey(key));
    EXPECT_FALSE(holding(QByteArray("true")).boolForKey(key));
}
