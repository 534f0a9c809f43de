#include "platform/linux/XkbGroupIdentifiers.h"

#include <gtest/gtest.h>

using namespace korvalen;

namespace {
// The property value for the given layouts and variants, as setxkbmap writes it.
QByteArray rulesNames(const char* layouts, const char* variants)
{
    return QByteArray("evdev") + '\0' + "pc105" + '\0' + layouts + '\0' + variants + '\0' +
           "grp:alt_shift_toggle" + '\0';
}
} // namespace

// Symbols names as the rules of xkeyboard-config 2.38 put them together (`setxkbmap -print`).
TEST(XkbGroupIdentifiers, FromSymbolsTheLayoutOfEachGroupAmongModelAndOptions)
{
    const struct {
        const char* symbols;
        QStringList expected;
    } cases[] = {
        {"pc+de+fr:2+inet(evdev)", {"xkb:de", "xkb:fr"}},
        {"pc+us+de(nodeadkeys):2+ru(phonetic):3+inet(evdev)",
         {"xkb:us", "xkb:de(nodeadkeys)", "xkb:ru(phonetic)"}},
        {"pc+us+ru:3+inet(evdev)", {"xkb:us", "", "xkb:ru"}}, // -layout us,,ru
        // Options that reuse layout files come after the layout of the group they adjust.
        {"pc+us+ru:2+inet(evdev)+group(alt_shift_toggle)+kr(ralt_hangul)+typo(base):1+typo(base):2",
         {"xkb:us", "xkb:ru"}},
        {"pc+us+ru:2+inet(evdev)+apl(level3):1+apl(level3):2", {"xkb:us", "xkb:ru"}},
        // A vendor's keyboard under the layout, and layouts from a vendor's folder.
        {"macintosh_vndr/apple(alukbd)+macintosh_vndr/de+inet(evdev)", {"xkb:de"}},
        {"macintosh_vndr/us(oldmac)+macintosh_vndr/de+inet(evdev)", {"xkb:de"}},
        {"macintosh_vndr/us(oldmac)+inet(evdev)", {"xkb:us(oldmac)"}},
        {"macintosh_vndr/apple(alukbd)+jp+inet(evdev)+macintosh_vndr/jp(alujiskeys)+us:2",
         {"xkb:jp", "xkb:us"}},
        {"xfree68_vndr/ataritt(us)+de+ru:2+inet(evdev)", {"xkb:de", "xkb:ru"}},
        {"pc+in(ben)+inet(evdev)", {"xkb:in(ben)"}}, // -layout ben: what the alias stands for
        {"pc+us|ru:2", {"xkb:us", "xkb:ru"}},        // augmenting rather than overriding
    };
    for (const auto& c : cases)
        EXPECT_EQ(xkbGroupIdentifiersFromSymbols(QString::fromLatin1(c.symbols)), c.expected)
            << c.symbols;
}

TEST(XkbGroupIdentifiers, FromSymbolsNothingWhenTheNameNamesNoLayout)
{
    for (const char* symbols :
         {"", "empty(basic)+inet(evdev)", "pc+inet(evdev)", "(unnamed)", "pc+us:5", "pc+us(:2"})
        EXPECT_TRUE(xkbGroupIdentifiersFromSymbols(QString::fromLatin1(symbols)).isEmpty())
            << symbols;
}

TEST(XkbGroupIdentifiers, FromRulesNamesTheLayoutWithTheVariantOfItsGroup)
{
    const struct {
        const char* layouts;
        const char* variants;
        QStringList expected;
    } cases[] = {
        {"us,ru,de", ",,nodeadkeys", {"xkb:us", "xkb:ru", "xkb:de(nodeadkeys)"}},
        {"us", "", {"xkb:us"}},
        {"us,de", "dvorak", {"xkb:us(dvorak)", "xkb:de"}},           // later groups have no variant
        {"us,de(nodeadkeys)", "", {"xkb:us", "xkb:de(nodeadkeys)"}}, // variant in the layout
        {"us,,de", "", {"xkb:us", "", "xkb:de"}},                    // group without a layout
        {" us , ru ",
         " , phonetic ",
         {"xkb:us", "xkb:ru(phonetic)"}}, // blanks around commas dropped
    };
    for (const auto& c : cases)
        EXPECT_EQ(xkbGroupIdentifiersFromRulesNames(rulesNames(c.layouts, c.variants)), c.expected)
            << c.layouts << " / " << c.variants;
}

TEST(XkbGroupIdentifiers, FromRulesNamesMissingOrTruncatedPropertyGivesNoGroups)
{
    EXPECT_TRUE(xkbGroupIdentifiersFromRulesNames({}).isEmpty());
    EXPECT_TRUE(xkbGroupIdentifiersFromRulesNames(QByteArray("evdev\0pc105", 11)).isEmpty());
    EXPECT_EQ(xkbGroupIdentifiersFromRulesNames(QByteArray("evdev\0pc105\0us,ru", 17)),
              (QStringList{"xkb:us", "xkb:ru"}))
        << "a property cut off after the layouts still names them";
}
