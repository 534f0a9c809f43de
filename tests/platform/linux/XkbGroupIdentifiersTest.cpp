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
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames("us,ru,de", ",,nodeadkeys")),
              (QStringList{"xkb:us", "xkb:ru", "xkb:de(nodeadkeys)"}));
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames("us", "")), (QStringList{"xkb:us"}));
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames("us,de", "dvorak")),
              (QStringList{"xkb:us(dvorak)", "xkb:de"}))
        << "groups past the listed variants have none";
}

TEST(XkbGroupIdentifiers, VariantWrittenIntoTheLayoutReadsTheSame)
{
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames("us,de(nodeadkeys)", "")),
              (QStringList{"xkb:us", "xkb:de(nodeadkeys)"}));
}

TEST(XkbGroupIdentifiers, GroupWithoutLayoutHasNoIdentifier)
{
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames("us,,de", "")), (QStringList{"xkb:us", "", "xkb:de"}));
    EXPECT_EQ(xkbGroupIdentifiers(rulesNames(" us , ru ", " , phonetic ")),
              (QStringList{"xkb:us", "xkb:ru(phonetic)"}))
        << "blanks around the commas are not part of the names";
}

TEST(XkbGroupIdentifiers, MissingOrTruncatedPropertyGivesNoGroups)
{
    EXPECT_TRUE(xkbGroupIdentifiers({}).isEmpty());
    EXPECT_TRUE(xkbGroupIdentifiers(QByteArray("evdev\0pc105", 11)).isEmpty());
    EXPECT_EQ(xkbGroupIdentifiers(QByteArray("evdev\0pc105\0us,ru", 17)),
              (QStringList{"xkb:us", "xkb:ru"}))
        << "a property cut off after the layouts still names them";
}
