#include "support/LocalizedStandardOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

using namespace korvalen;

namespace {

QStringList sorted(const LocalizedStandardOrder& order, QStringList names)
{
    order.sortStably(names, [](const QString& name) { return name; });
    return names;
}

// Restores the default locale a test changes.
class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

} // namespace

TEST(LocalizedStandardOrder, IgnoresCaseAndComparesDigitRunsByValueInEveryLocale)
{
    const QStringList expected{QStringLiteral("alpha"),   QStringLiteral("Äpfel"),
                               QStringLiteral("App 9"),   QStringLiteral("App 10"),
                               QStringLiteral("app 100"), QStringLiteral("Beta"),
                               QStringLiteral("ñu"),      QStringLiteral("Zebra")};
    QStringList scrambled = expected;
    std::reverse(scrambled.begin(), scrambled.end());
    std::swap(scrambled[1], scrambled[5]);

    // The C locale is what a C or POSIX environment gives; plain code-unit order would put
    // "Beta" before "alpha" and "App 10" before "App 9" there.
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        EXPECT_EQ(sorted(LocalizedStandardOrder(locale), scrambled), expected)
            << qPrintable(locale.name());
    }
    const DefaultLocale cLocale(QLocale::c());
    EXPECT_EQ(sorted(LocalizedStandardOrder(), scrambled), expected);
}

TEST(LocalizedStandardOrder, FollowsTheCollationOfTheLocale)
{
    // Swedish sorts "Ö" after "Z"; German sorts it with "O".
    const QStringList names{QStringLiteral("Zebra"), QStringLiteral("Öl")};
    EXPECT_EQ(sorted(LocalizedStandardOrder(QLocale(QLocale::Swedish, QLocale::Sweden)), names),
              (QStringList{QStringLiteral("Zebra"), QStringLiteral("Öl")}));
    EXPECT_EQ(sorted(LocalizedStandardOrder(QLocale(QLocale::German, QLocale::Germany)), names),
              (QStringList{QStringLiteral("Öl"), QStringLiteral("Zebra")}));
}
