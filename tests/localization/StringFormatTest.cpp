#include "localization/StringFormat.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

TEST(StringFormat, FillsSequentialPlaceholdersInOrder)
{
    EXPECT_EQ(formatted(u"「%@」→「%@」"_s, {u"Terminal"_s, u"ABC"_s}), u"「Terminal」→「ABC」"_s);
    EXPECT_EQ(formatted(u"管理规则…（%d 条）"_s, {3}), u"管理规则…（3 条）"_s);
    EXPECT_EQ(formatted(u"%d/%d"_s, {qint64(-12345678901), 0}), u"-12345678901/0"_s);
}

TEST(StringFormat, FillsPositionalPlaceholdersInAnyOrder)
{
    const QVariantList arguments{u"Terminal"_s, 85, u"ABC"_s};
    EXPECT_EQ(formatted(u"根据历史使用，「%1$@」%2$d%% 时间用「%3$@」"_s, arguments),
              u"根据历史使用，「Terminal」85% 时间用「ABC」"_s);
    EXPECT_EQ(formatted(u"«%3$@» %2$d %% «%1$@» %1$@"_s, arguments),
              u"«ABC» 85 % «Terminal» Terminal"_s);
    EXPECT_EQ(formatted(u"%2$@ %@ %@"_s, {u"a"_s, u"b"_s}), u"b a b"_s)
        << "sequential placeholders count on their own";
}

TEST(StringFormat, KeepsWhatItCannotFill)
{
    const QVariantList one{u"x"_s};
    for (const char* kept : {"%s", "%", "% d", "100%", "%$@", "%0$@", "%4$@", "%12", "%1$", "%ld"})
        EXPECT_EQ(formatted(QString::fromLatin1(kept), {}), QString::fromLatin1(kept)) << kept;
    EXPECT_EQ(formatted(u"%@ and %@"_s, one), u"x and %@"_s);
    EXPECT_EQ(formatted(u"%2$@ or %1$@"_s, one), u"%2$@ or x"_s);
    EXPECT_EQ(formatted(u"%%@ %%%@"_s, one), u"%@ %x"_s)
        << "a doubled percent sign is consumed before a placeholder is looked for";
}
