#include "localization/StringsTable.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
    return encoder(text);
}

QHash<QString, QString> entries(std::initializer_list<std::pair<const char*, const char*>> pairs)
{
    QHash<QString, QString> result;
    for (const auto& [key, value] : pairs)
        result.insert(QString::fromUtf8(key), QString::fromUtf8(value));
    return result;
}

} // namespace

TEST(StringsTable, ReadsEntriesBetweenCommentsAndWhiteSpace)
{
    const StringsTable table = StringsTable::fromData(QByteArray(R"(/* A block comment
   over two lines, with "quotes" = "inside"; */
"语言" = "Language";   // a line comment "a" = "b";
	"添加"="Add"
	;
/**/"key only";
unquoted_Key.1 = value/with:punctuation-$;
"again" = "first";
"again" = "last";
)"));
    EXPECT_TRUE(table.isComplete());
    EXPECT_EQ(table.entries(), entries({{"语言", "Language"},
                                        {"添加", "Add"},
                                        {"key only", "key only"},
                                        {"unquoted_Key.1", "value/with:punctuation-$"},
                                        {"again", "last"}}));
    EXPECT_EQ(table.value(u"语言"_s), u"Language"_s);
    EXPECT_EQ(table.value(u"missing"_s), std::nullopt);
}

TEST(StringsTable, UnescapesQuotedTexts)
{
    const StringsTable table = StringsTable::fromData(QByteArray(
        R"("controls" = "a\nb\tc\rd";
"quotes" = "say \"hi\" \\ back\slash";
"bmp" = "\U00e9\u4E2D\U20AC";
"pair" = "\UD83D\UDE00!";
"lone" = "\UD83Dx\uDE00";
"short" = "\U41\U0042";
"empty" = "";
)"));
    EXPECT_TRUE(table.isComplete());
    EXPECT_EQ(table.value(u"controls"_s), u"a\nb\tc\rd"_s);
    EXPECT_EQ(table.value(u"quotes"_s), u"say \"hi\" \\ backslash"_s);
    EXPECT_EQ(table.value(u"bmp"_s), u"é中€"_s);
    EXPECT_EQ(table.value(u"pair"_s), u"😀!"_s);
    EXPECT_EQ(table.value(u"lone"_s), u"\uFFFDx\uFFFD"_s)
        << "a half of a surrogate pair alone is replaced, never kept as an invalid string";
    EXPECT_EQ(table.value(u"short"_s), u"AB"_s);
    EXPECT_EQ(table.value(u"empty"_s), QString());
}

TEST(StringsTable, DecodesUtf8AndUtf16WithByteOrderMarks)
{
    const QString text = u"/* 注释 */\n\"语言\" = \"Язык 😀\";\n"_s;
    const auto expected = entries({{"语言", "Язык 😀"}});
    const QByteArray plainUtf8 = text.toUtf8();
    for (const QByteArray& data :
         {plainUtf8, encoded(text, QStringConverter::Utf8),
          encoded(text, QStringConverter::Utf16LE), encoded(text, QStringConverter::Utf16BE)}) {
        const StringsTable table = StringsTable::fromData(data);
        EXPECT_TRUE(table.isComplete()) << data.toHex().left(8).constData();
        EXPECT_EQ(table.entries(), expected) << data.toHex().left(8).constData();
    }
}

TEST(StringsTable, AFaultKeepsTheEntriesBeforeIt)
{
    const struct {
        const char* name;
        const char* fault;
    } cases[] = {
        {"missing semicolon", R"("b" = "2")"},
        {"missing equals sign", R"("b" "2";)"},
        {"missing value", R"("b" = ;)"},
        {"unterminated text", R"("b" = "2;)"},
        {"backslash at the end", R"("b" = "2\)"},
        {"escape without digits", R"("b" = "\Uxyz";)"},
        {"unterminated comment", R"(/* "b" = "2";)"},
        {"stray character", R"(= "2";)"},
        {"nested structure", R"({ "b" = "2"; })"},
    };
    for (const auto& c : cases) {
        const QByteArray data = QByteArray(R"("a" = "1";)") + "\n" + c.fault + "\n\"c\" = \"3\";\n";
        const StringsTable table = StringsTable::fromData(data);
        EXPECT_FALSE(table.isComplete()) << c.name;
        EXPECT_EQ(table.entries(), entries({{"a", "1"}})) << c.name;
    }
}

TEST(StringsTable, InvalidBytesAreReplacedAndMarkTheTableIncomplete)
{
    const StringsTable utf8Table = StringsTable::fromData(QByteArray("\"a\" = \"x\xFFy\";"));
    EXPECT_FALSE(utf8Table.isComplete());
    EXPECT_EQ(utf8Table.value(u"a"_s), u"x\uFFFDy"_s);

    QByteArray oddUtf16 = encoded(u"\"a\" = \"b\";"_s, QStringConverter::Utf16LE);
    oddUtf16.append('\0');
    EXPECT_FALSE(StringsTable::fromData(oddUtf16).isComplete());
}

TEST(StringsTable, EveryTruncationOfAFileReadsWithoutFault)
{
    // Whatever is cut off (a download broken off, a disk full while saving), reading stays safe
    // and keeps only whole entries.
    const QString text = u"/* c */ \"k1\" = \"v\\U00e9\\UD83D\\UDE00\"; // x\n\"k2\" = \"w\";\n"_s;
    for (const auto encoding : {QStringConverter::Utf8, QStringConverter::Utf16LE}) {
        const QByteArray whole = encoded(text, encoding);
        for (qsizetype length = 0; length <= whole.size(); ++length) {
            const StringsTable table = StringsTable::fromData(whole.left(length));
            for (auto it = table.entries().cbegin(); it != table.entries().cend(); ++it) {
                EXPECT_TRUE(it.key() == u"k1" || it.key() == u"k2") << length;
                EXPECT_TRUE(it.value() == u"vé😀" || it.value() == u"w") << length;
            }
        }
        EXPECT_EQ(StringsTable::fromData(whole).entries().size(), 2);
    }
}
