#include "app/StringFormat.h"

#include <gtest/gtest.h>

using namespace korvalen;

TEST(StringFormat, FillsSequentialPlaceholdersInOrder)
{
    EXPECT_EQ(formatted(QStringLiteral("「%@」→「%@」"),
                        {QStringLiteral("Terminal"), QStringLiteral("ABC")}),
              QStringLiteral("「Terminal」→「ABC」"));
    EXPECT_EQ(formatted(QStringLiteral("管理规则…（%d 条）"), {3}),
              QStringLiteral("管理规则…（3 条）"));
    EXPECT_EQ(formatted(QStringLiteral("%d/%d"), {qint64(-12345678901), 0}),
              QStringLiteral("-12345678901/0"));
}

TEST(StringFormat, FillsPositionalPlaceholdersInAnyOrder)
{
    const QVariantList arguments{QStringLiteral("Terminal"), 85, QStringLiteral("ABC")};
    EXPECT_EQ(formatted(QStringLiteral("根据历史使用，「%1$@」%2$d%% 时间用「%3$@」"), arguments),
              QStringLiteral("根据历史使用，「Terminal」85% 时间用「ABC」"));
    EXPECT_EQ(formatted(QStringLiteral("«%3$@» %2$d %% «%1$@» %1$@"), arguments),
              QStringLiteral("«ABC» 85 % «Terminal» Terminal"));
    EXPECT_EQ(formatted(QStringLiteral("%2$@ %@ %@"), {QStringLiteral("a"), QStringLiteral("b")}),
              QStringLiteral("b a b"))
        << "sequential placeholders count on their own";
}

TEST(StringFormat, KeepsWhatItCannotFill)
{
    const QVariantList one{QStringLiteral("x")};
    for (const char* kept : {"%s", "%", "% d", "100%", "%$@", "%0$@", "%4$@", "%12", "%1$", "%ld"})
        EXPECT_EQ(formatted(QString::fromLatin1(kept), {}), QString::fromLatin1(kept)) << kept;
    EXPECT_EQ(formatted(QStringLiteral("%@ and %@"), one), QStringLiteral("x and %@"));
    EXPECT_EQ(formatted(QStringLiteral("%2$@ or %1$@"), one), QStringLiteral("%2$@ or x"));
    EXPECT_EQ(formatted(QStringLiteral("%%@ %%%@"), one), QStringLiteral("%@ %x"))
        << "a doubled percent sign is consumed before a placeholder is looked for";
}
