#include "platform/linux/NativeMessagingHostManifests.h"
#include "support/TemporaryFolder.h"
#include "website/BrowserExtension.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;
using Outcome = BrowserIntegration::Outcome;
using HostManifest = BrowserIntegration::HostManifest;
using Extension = BrowserIntegration::Extension;

namespace {

// A home folder, a configuration folder, the folders for all users and a PATH of the test's
// own, with a host program to register. Chromium has run (its folder exists), Firefox is only
// on PATH, Google Chrome is neither.
class NativeMessagingHostManifestsTest : public ::testing::Test {
protected:
    NativeMessagingHostManifestsTest()
    {
        disk.write(u"config/chromium/Local State"_s, "{}");
        makeExecutable(disk.write(u"bin/firefox-esr"_s, "#!/bin/sh\n"));
        makeExecutable(host);
    }

    static void makeExecutable(const QString& path)
    {
        QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    static QJsonObject json(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    static std::vector<Outcome> outcomes(const QList<BrowserIntegration::Change>& changes)
    {
        std::vector<Outcome> outcomes;
        for (const auto& change : changes)
            outcomes.push_back(change.outcome);
        return outcomes;
    }

    TemporaryFolder disk;
    const QString host = disk.write(u"prefix/bin/korvalen-browser-host"_s, "#!/bin/sh\n");
    const QString chromiumManifest =
        disk.path(u"config/chromium/NativeMessagingHosts/io.github.korvalen.browser_host.json"_s);
    const QString firefoxManifest =
        disk.path(u"home/.mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json"_s);
    NativeMessagingHostManifests manifests{
        NativeMessagingHostManifests::standardBrowsers(disk.path(u"home"_s), disk.path(u"config"_s),
                                                       disk.path(u"system"_s)),
        {disk.path(u"bin"_s)},
        host,
        u"/usr/share/korvalen/browser-extension"_s,
        {}};
};

} // namespace

TEST_F(NativeMessagingHostManifestsTest,
       RegistersTheHostWithInstalledBrowsersAndTakesBackOnlyItsOwn)
{
    const auto installed = manifests.install();
    EXPECT_EQ(outcomes(installed),
              (std::vector{Outcome::written, Outcome::notInstalled, Outcome::written}));
    EXPECT_EQ(installed.at(0).manifestPath, chromiumManifest);
    EXPECT_EQ(installed.at(2).manifestPath, firefoxManifest);

    const QJsonObject chromium = json(chromiumManifest);
    EXPECT_EQ(chromium.value(u"name"_s).toString(), BrowserExtension::nativeHostName);
    EXPECT_EQ(chromium.value(u"path"_s).toString(), host);
    EXPECT_EQ(chromium.value(u"type"_s).toString(), u"stdio"_s);
    EXPECT_EQ(chromium.value(u"allowed_origins"_s).toArray(),
              QJsonArray{u"chrome-extension://dehodomojilnofilnigojgpgfahfgfag/"_s});
    const QJsonObject firefox = json(firefoxManifest);
    EXPECT_EQ(firefox.value(u"path"_s).toString(), host);
    EXPECT_EQ(firefox.value(u"allowed_extensions"_s).toArray(),
              QJsonArray{u"browser-integration@korvalen.github.io"_s});
    EXPECT_FALSE(firefox.contains(u"allowed_origins"_s));

    auto status = manifests.status();
    ASSERT_EQ(status.size(), 3);
    EXPECT_TRUE(status.at(0).installed);
    EXPECT_EQ(status.at(0).hostManifest, HostManifest::ready);
    EXPECT_EQ(status.at(0).hostPath, host);
    EXPECT_FALSE(status.at(0).manifestForAllUsers);
    EXPECT_FALSE(status.at(1).installed);
    EXPECT_EQ(status.at(2).hostManifest, HostManifest::ready);

    QFile::remove(host);
    EXPECT_EQ(manifests.status().at(0).hostManifest, HostManifest::hostMissing);

    // Someone else's file under the host's name stays as it is, whatever Korvalen is asked.
    const QByteArray someoneElses =
        R"({"name": "io.github.korvalen.browser_host", "path": "/usr/bin/other-host"})";
    disk.write(u"home/.mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json"_s,
               someoneElses);
    EXPECT_EQ(manifests.install().at(2).outcome, Outcome::notOurs);
    EXPECT_EQ(manifests.status().at(2).hostManifest, HostManifest::notOurs);
    EXPECT_EQ(outcomes(manifests.remove()),
              (std::vector{Outcome::removed, Outcome::nothingToRemove, Outcome::notOurs}));
    EXPECT_FALSE(QFile::exists(chromiumManifest));
    QFile firefoxFile(firefoxManifest);
    ASSERT_TRUE(firefoxFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(firefoxFile.readAll(), someoneElses);
}

TEST_F(NativeMessagingHostManifestsTest,
       TellsTheManifestForAllUsersAndWhetherProfilesHaveTheExtension)
{
    // Before the browsers made a profile, nobody can tell.
    auto status = manifests.status();
    EXPECT_EQ(status.at(0).hostManifest, HostManifest::absent);
    EXPECT_EQ(status.at(0).extension, Extension::unknown);
    EXPECT_EQ(status.at(2).extension, Extension::unknown);

    disk.write(
        u"system/usr/lib/mozilla/native-messaging-hosts/io.github.korvalen.browser_host.json"_s,
        R"({"name": "io.github.korvalen.browser_host", "path": ")" + host.toUtf8() + "\"}");
    disk.write(u"config/chromium/Default/Preferences"_s,
               R"({"extensions": {"settings": {"abcdefghijklmnopabcdefghijklmnop": {}}}})");
    disk.write(u"home/.mozilla/firefox/a1.default-esr/extensions.json"_s,
               R"({"addons": [{"id": "someone@example.org"}]})");
    status = manifests.status();
    EXPECT_EQ(status.at(2).hostManifest, HostManifest::ready);
    EXPECT_TRUE(status.at(2).manifestForAllUsers);
    EXPECT_EQ(status.at(0).extension, Extension::notAdded);
    EXPECT_EQ(status.at(2).extension, Extension::notAdded);

    // An unpacked extension is listed in Secure Preferences, a packed one unpacked into the
    // profile; Firefox profiles are all looked at.
    disk.write(u"config/chromium/Default/Secure Preferences"_s,
               R"({"extensions": {"settings": {"dehodomojilnofilnigojgpgfahfgfag": {}}}})");
    disk.write(
        u"config/google-chrome/Default/Extensions/dehodomojilnofilnigojgpgfahfgfag/0.1.0_0/manifest.json"_s,
        "{}");
    disk.write(u"home/.mozilla/firefox/b2.work/extensions.json"_s,
               R"({"addons": [{"id": "browser-integration@korvalen.github.io"}]})");
    status = manifests.status();
    EXPECT_EQ(status.at(0).extension, Extension::added);
    EXPECT_EQ(status.at(1).extension, Extension::added);
    EXPECT_EQ(status.at(2).extension, Extension::added);
    EXPECT_FALSE(QFile::exists(firefoxManifest)) << "installed for all users, nothing written";
}

TEST_F(NativeMessagingHostManifestsTest, AFolderThatCannotBeMadeFailsThatBrowserOnly)
{
    disk.write(u"config/chromium/NativeMessagingHosts"_s, "a file where the folder should be");
    EXPECT_EQ(outcomes(manifests.install()),
              (std::vector{Outcome::failed, Outcome::notInstalled, Outcome::written}));
}
