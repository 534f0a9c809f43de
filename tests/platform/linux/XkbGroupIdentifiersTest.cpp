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

TEST(XkbGroupIdentifiers, LayoutWithTheVariantOfItsGroup)
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
        EXPECT_EQ(xkbGroupIdentifiers(rulesNames(c.layouts, c.variants)), c.expected)
            << c.layouts << " / " << c.variants;
}

TEST(XkbGroupIdentifiers, MissingOrTruncatedPropertyGivesNoGroups)
{
    EXPECT_TRUE(xkbGroupIdentifiers({}).isEmpty());
    EXPECT_TRUE(xkbGroupIdentifiers(QByteArray("evdev\0pc105", 11)).isEmpty());
    EXPECT_EQ(xkbGroupIdentifiers(QByteArray("evdev\0pc105\0us,ru", 17)),
              (QStringList{"xkb:us", "xkb:ru"}))
        << "a property cut off after the layouts still names them";
}
