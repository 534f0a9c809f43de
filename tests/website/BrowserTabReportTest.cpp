#include "website/BrowserTabReport.h"

#include <gtest/gtest.h>

using namespace korvalen;
using namespace Qt::Literals::StringLiterals;
using Window = BrowserTabReport::Window;

TEST(BrowserTabReport, ReadsTheLinesItWritesAndTheFocusedHost)
{
    const BrowserTabReport reports[] = {
        {BrowserTabReport::Type::tab, u"activated"_s, {{7, true, u"example.com"_s}}},
        {BrowserTabReport::Type::tab, u"updated"_s, {{9007199254740991, true, std::nullopt}}},
        {BrowserTabReport::Type::tab, u"focusChanged"_s, {{-1, false, std::nullopt}}},
        {BrowserTabReport::Type::snapshot,
         {},
         {{1, false, u"[::1]"_s}, {2, true, u"192.168.0.1"_s}, {3, false, std::nullopt}}},
        {BrowserTabReport::Type::snapshot, {}, {}},
    };
    for (const BrowserTabReport& report : reports) {
        const QByteArray line = report.toJsonLine();
        EXPECT_TRUE(line.endsWith('\n') && line.count('\n') == 1) << line.constData();
        EXPECT_EQ(BrowserTabReport::fromJsonLine(line), report) << line.constData();
    }
    EXPECT_EQ(reports[0].focusedHost(), u"example.com"_s);
    EXPECT_EQ(reports[2].focusedHost(), std::nullopt);
    EXPECT_EQ(reports[3].focusedHost(), u"192.168.0.1"_s);

    // As Korvalen's side may write them: members in any order, a null host left out.
    EXPECT_EQ(BrowserTabReport::fromJsonLine(
                  R"({"windowId":7,"host":"example.com","reason":"activated","type":"tab"})"),
              reports[0]);
    EXPECT_EQ(BrowserTabReport::fromJsonLine(R"({"type":"tab","reason":"focusChanged",)"
                                             R"("windowId":-1,"extra":[1]})"),
              reports[2]);
    EXPECT_EQ(BrowserTabReport::queryLine(), "{\"type\":\"query\"}\n");
}

TEST(BrowserTabReport, RejectsLinesOfAnyOtherShape)
{
    for (const char* line : {
             "",
             "{\"type\":\"tab\"",
             "[]",
             R"({"type":"query"})",
             R"({"type":"Tab","reason":"activated","windowId":7})",
             R"({"type":"tab","windowId":7})",
             R"({"type":"tab","reason":"closed","windowId":7})",
             R"({"type":"tab","reason":"activated"})",
             R"({"type":"tab","reason":"activated","windowId":"7"})",
             R"({"type":"tab","reason":"activated","windowId":7.5})",
             R"({"type":"tab","reason":"activated","windowId":-2})",
             R"({"type":"tab","reason":"activated","windowId":1e300})",
             R"({"type":"tab","reason":"activated","windowId":7,"host":"Example.com"})",
             R"({"type":"tab","reason":"activated","windowId":7,"host":"example.com/a"})",
             R"({"type":"tab","reason":"activated","windowId":7,"host":42})",
             R"({"type":"tab","reason":"focusChanged","windowId":-1,"host":"example.com"})",
             R"({"type":"snapshot"})",
             R"({"type":"snapshot","windows":{}})",
             R"({"type":"snapshot","windows":[7]})",
             R"({"type":"snapshot","windows":[{"windowId":7}]})",
             R"({"type":"snapshot","windows":[{"windowId":-1,"focused":false}]})",
             R"({"type":"snapshot","windows":[{"windowId":7,"focused":1}]})",
             R"({"type":"snapshot","windows":[{"windowId":7,"focused":true,"host":""}]})",
         })
        EXPECT_EQ(BrowserTabReport::fromJsonLine(line), std::nullopt) << line;
}

TEST(BrowserTabReport, WebHostsAreHostNamesAsBrowsersWriteThem)
{
    const QString longestLabel(63, u'a');
    for (const QString& host :
         {u"example.com"_s, u"localhost"_s, u"xn--fiqs8s.xn--fiqz9s"_s, u"my_site.example.org"_s,
          u"a-b.c0"_s, u"-odd-.example"_s, longestLabel + u".com"_s, u"10.0.0.255"_s, u"[::1]"_s,
          u"[2001:db8::8a2e:370:7334]"_s, u"[1:2:3:4:5:6:7:8]"_s, u"[::]"_s})
        EXPECT_TRUE(BrowserTabReport::isWebHost(host)) << host.toStdString();

    const QString tooLong = QStringList(64, u"abc"_s).join(u'.');
    for (const QString& host : {QString(),
                                u"Example.com"_s,
                                u"example.com."_s,
                                u".example.com"_s,
                                u"a..b"_s,
                                u"exa mple.com"_s,
                                u"user@example.com"_s,
                                u"example.com:443"_s,
                                u"example.com/"_s,
                                u"例子.中国"_s,
                                u"a%2db.example"_s,
                                longestLabel + u"a.com"_s,
                                tooLong,
                                u"256.0.0.1"_s,
                                u"010.0.0.1"_s,
                                u"1.2.3"_s,
                                u"example.123"_s,
                                u"::1"_s,
                                u"[::1"_s,
                                u"[1:2:3:4:5:6:7:8:9]"_s,
                                u"[1::2::3]"_s,
                                u"[::FFFF]"_s,
                                u"[::ffff:1.2.3.4]"_s,
                                u"[12345::]"_s})
        EXPECT_FALSE(BrowserTabReport::isWebHost(host)) << host.toStdString();
}
