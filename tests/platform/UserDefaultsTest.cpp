#include "platform/sim/InMemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {
const QString key = u"k"_s;

InMemoryUserDefaults holding(const QVariant& value)
{
    return InMemoryUserDefaults({{key, value}});
}
} // namespace

TEST(UserDefaultsTypedReaders, AbsentEntryGivesNoneAndFalseWhileStoredFalseIsPresent)
{
    const InMemoryUserDefaults defaults;
    EXPECT_FALSE(defaults.hasObjectForKey(key));
    EXPECT_EQ(defaults.stringForKey(key), std::nullopt);
    EXPECT_EQ(defaults.dataForKey(key), std::nullopt);
    EXPECT_FALSE(defaults.boolForKey(key));
    EXPECT_TRUE(holding(false).hasObjectForKey(key));
    EXPECT_FALSE(holding(false).boolForKey(key));
}

TEST(UserDefaultsTypedReaders, EachReaderAcceptsOnlyItsKind)
{
    EXPECT_EQ(holding(QByteArray("x")).stringForKey(key), std::nullopt);
    EXPECT_EQ(holding(u"x"_s).dataForKey(key), std::nullopt);
    EXPECT_EQ(holding(QStringList{u"a"_s, u"b"_s}).stringForKey(key), std::nullopt);
    EXPECT_EQ(holding(u""_s).stringForKey(key), QString());
    EXPECT_EQ(holding(QByteArray()).dataForKey(key), QByteArray());
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
