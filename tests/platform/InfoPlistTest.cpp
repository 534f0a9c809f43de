#include "platform/InfoPlist.h"

#include <gtest/gtest.h>

using namespace korvalen;

namespace {

std::optional<InfoPlist> parseDictionary(const QByteArray& entries)
{
    return InfoPlist::parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                            "<plist version=\"1.0\"><dict>" +
                            entries + "</dict></plist>\n");
}

} // namespace

TEST(InfoPlist, GivesTheTextValuesOfTheTopLevelDictionaryOnly)
{
    const auto plist = parseDictionary("<key>Text</key><string>Tom &amp; Jerry</string>\n"
                                       "<key>Empty</key><string></string>\n"
                                       "<key>Number</key><integer>3</integer>\n"
                                       "<key>Flag</key><true/>\n"
                                       "<key>List</key><array><string>Nested</string></array>\n"
                                       "<key>Inner</key><dict><key>Nested</key>"
                                       "<string>inner</string></dict>\n"
                                       "<key>Orphan</key>\n"
                                       "<key>After</key><string>after</string>\n"
                                       "<string>value without a key</string>\n"
                                       "<key>Last</key>");
    ASSERT_TRUE(plist);
    EXPECT_EQ(plist->text(QStringLiteral("Text")), QStringLiteral("Tom & Jerry"));
    EXPECT_EQ(plist->text(QStringLiteral("Empty")), QString());
    EXPECT_EQ(plist->text(QStringLiteral("After")), QStringLiteral("after"));
    for (const QString& absent :
         {QStringLiteral("Number"), QStringLiteral("Flag"), QStringLiteral("List"),
          QStringLiteral("Inner"), QStringLiteral("Nested"), QStringLiteral("Orphan"),
          QStringLiteral("Last"), QStringLiteral("Missing")})
        EXPECT_EQ(plist->text(absent), std::nullopt) << qPrintable(absent);
}

TEST(InfoPlist, WhatIsNotAWellFormedDictionaryListIsRejectedWhole)
{
    for (const QByteArray& malformed : {
             QByteArray(),
             QByteArray("bplist00\xd1\x01\x02"),
             QByteArray("<plist><array><string>a</string></array></plist>"),
             QByteArray("<dict><key>a</key><string>b</string></dict>"),
             QByteArray("<plist><dict><key>a</key><string>b</string>"),
             QByteArray("<plist><dict><key>a</key><string>b<i>c</i></string></dict></plist>"),
             QByteArray("<plist><dict><key>a</key><string>b</string></dict></plist><junk"),
         })
        EXPECT_FALSE(InfoPlist::parse(malformed)) << malformed.constData();
    EXPECT_FALSE(InfoPlist::read(QStringLiteral("/nonexistent/Info.plist")));
}
