#include "platform/linux/XdgAutostart.h"
#include "platform/linux/DesktopEntry.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;

TEST(XdgAutostart, WritesAnEntryThatStartsTheProgramAndRemovesIt)
{
    TemporaryFolder folder;
    const QString entryPath =
        folder.path(u"config/autostart/io.github.korvalen.Korvalen.desktop"_s);
    // A path with the characters the Exec key must quote.
    XdgAutostart autostart(entryPath, uR"(/opt/My "Apps"/$HOME\bin/korvalen)"_s);
    EXPECT_FALSE(autostart.startsAtLogin());

    ASSERT_TRUE(autostart.setStartsAtLogin(true));
    EXPECT_TRUE(autostart.startsAtLogin());
    const auto entry = DesktopEntry::read(entryPath, u"io.github.korvalen.Korvalen"_s);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->value(u"Type"_s), u"Application"_s);
    // The value after unescaping, as a session reads it: one argument, quoted.
    EXPECT_EQ(entry->value(u"Exec"_s), uR"("/opt/My \"Apps\"/\$HOME\\bin/korvalen")"_s);
    ASSERT_TRUE(autostart.setStartsAtLogin(true)) << "writing it again replaces it";

    ASSERT_TRUE(autostart.setStartsAtLogin(false));
    EXPECT_FALSE(autostart.startsAtLogin());
    EXPECT_TRUE(autostart.setStartsAtLogin(false)) << "nothing left to remove";
}

TEST(XdgAutostart, AFolderThatCannotBeMadeIsReported)
{
    TemporaryFolder folder;
    const QString blocker = folder.write(u"config"_s, "a file where the folder should be");
    XdgAutostart autostart(blocker + u"/autostart/k.desktop"_s, u"/usr/bin/korvalen"_s);
    EXPECT_FALSE(autostart.setStartsAtLogin(true));
    EXPECT_FALSE(autostart.startsAtLogin());
}
