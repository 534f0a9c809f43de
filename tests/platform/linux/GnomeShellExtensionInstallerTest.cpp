#include "platform/linux/GnomeShellExtensionInstaller.h"
#include "platform/linux/GnomeVersion.h"
#include "support/TemporaryFolder.h"

#include <gio/gio.h>

#include <gtest/gtest.h>

using namespace korvalen;
using namespace korvalen::testing;
using namespace Qt::Literals::StringLiterals;
using Outcome = DesktopShellExtension::Outcome;
using Setting = DesktopShellExtension::Setting;

namespace {

const QString& uuid = GnomeShellExtension::uuid;
const QByteArray ourMetadata = R"({"uuid": "korvalen@korvalen.github.io", "name": "Korvalen"})";

// The copies of the extension, the user's and the system's extensions folders and a gnome-shell
// program of the test's own, without a session bus: as from a terminal outside GNOME. GNOME's
// settings are the tests' stand-in schema in memory, with another extension enabled and
// Korvalen's disabled.
class GnomeShellExtensionInstallerTest : public ::testing::Test {
protected:
    GnomeShellExtensionInstallerTest()
    {
        disk.write(u"flavours/43/metadata.json"_s, ourMetadata);
        disk.write(u"flavours/43/extension.js"_s, "// for 43 and 44\n");
        disk.write(u"flavours/45/metadata.json"_s, ourMetadata);
        disk.write(u"flavours/45/extension.js"_s, "// for 45 and later\n");
        shellPrints("GNOME Shell 44.2");
        setList("enabled-extensions", {"other@example.org"});
        setList("disabled-extensions", {uuid.toUtf8()});
    }

    ~GnomeShellExtensionInstallerTest() override { g_object_unref(settings); }

    void shellPrints(const QByteArray& version) const
    {
        const QString program =
            disk.write(u"bin/gnome-shell"_s, "#!/bin/sh\necho '" + version + "'\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QStringList list(const char* key) const
    {
        QStringList values;
        gchar** texts = g_settings_get_strv(settings, key);
        for (gchar** text = texts; *text; ++text)
            values.append(QString::fromUtf8(*text));
        g_strfreev(texts);
        return values;
    }

    void setList(const char* key, const QList<QByteArray>& values) const
    {
        std::vector<const char*> texts;
        for (const QByteArray& value : values)
            texts.push_back(value.constData());
        texts.push_back(nullptr);
        g_settings_set_strv(settings, key, texts.data());
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Nothing of a copy in the making or taken away is left beside the extensions folder.
    QStringList besideExtensions() const
    {
        return QDir(disk.path(u"data/gnome-shell"_s))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    bool settingsReady = [] {
        qputenv("GSETTINGS_BACKEND", "memory");
        qputenv("GSETTINGS_SCHEMA_DIR", KORVALEN_GNOME_SHELL_TEST_SCHEMA);
        return true;
    }();
    GSettings* settings = g_settings_new("org.gnome.shell");
    TemporaryFolder disk;
    const QString userCopy = disk.path(u"data/gnome-shell/extensions/"_s + uuid);
    GnomeShellExtensionInstaller installer{{disk.path(u"data/gnome-shell/extensions"_s),
                                            {disk.path(u"system/gnome-shell/extensions"_s)},
                                            disk.path(u"flavours"_s),
                                            disk.path(u"bin/gnome-shell"_s)},
                                           DesktopSession::Kind::gnomeX11,
                                           QDBusConnection(u"korvalen-no-bus"_s)};
};

} // namespace

TEST(GnomeVersion, TellsTheMajorVersionAndTheCopyThatFitsIt)
{
    const struct {
        QString text;
        int major;
        QString flavour;
    } versions[] = {
        {u"GNOME Shell 43.9\n"_s, 43, u"43"_s},   {u"44.2"_s, 44, u"43"_s},
        {u"GNOME Shell 46.alpha"_s, 46, u"45"_s}, {u"50"_s, 50, u"45"_s},
        {u"GNOME Shell 42.9"_s, 42, QString()},
    };
    for (const auto& [text, major, flavour] : versions) {
        const auto version = GnomeVersion::fromText(text);
        ASSERT_TRUE(version.has_value()) << text.toStdString();
        EXPECT_EQ(version->major(), major) << text.toStdString();
        EXPECT_EQ(version->flavour(), flavour) << text.toStdString();
    }
    EXPECT_EQ(GnomeVersion::fromText(u"GNOME Shell 46.alpha"_s)->text(), u"46.alpha"_s);
    for (const QString& odd :
         {u""_s, u"GNOME Shell"_s, u"Shell 43.9"_s, u"43.9 beta"_s, u"GNOME Shell 99999999999"_s})
        EXPECT_FALSE(GnomeVersion::fromText(odd).has_value()) << odd.toStdString();
    EXPECT_FALSE(GnomeVersion::ofProgram(u"/nonexistent/gnome-shell"_s).has_value());
}

TEST_F(GnomeShellExtensionInstallerTest, InstallsTheCopyForTheInstalledShellAndEnablesIt)
{
    const auto change = installer.install();
    EXPECT_EQ(change.outcome, Outcome::installed);
    EXPECT_EQ(change.shellVersion, u"44.2"_s);
    EXPECT_EQ(change.folder, userCopy);
    EXPECT_FALSE(change.replacedEarlierCopy);
    EXPECT_EQ(contents(userCopy + u"/extension.js"_s), "// for 43 and 44\n");
    EXPECT_EQ(contents(userCopy + u"/metadata.json"_s), ourMetadata);
    EXPECT_EQ(besideExtensions(), QStringList{u"extensions"_s});

    EXPECT_EQ(change.setting, Setting::enabled);
    EXPECT_EQ(list("enabled-extensions"), (QStringList{u"other@example.org"_s, uuid}));
    EXPECT_EQ(list("disabled-extensions"), QStringList());
    // No Shell answers: it loads the extension when it next starts.
    EXPECT_EQ(change.takesEffect, DesktopShellExtension::TakesEffect::afterLogin);

    const auto status = installer.status();
    EXPECT_FALSE(status.shellRunning);
    EXPECT_EQ(status.shellVersion, u"44.2"_s);
    EXPECT_EQ(status.flavour, u"43"_s);
    EXPECT_EQ(status.userCopy, userCopy);
    EXPECT_TRUE(status.userCopyIsOurs);
    EXPECT_EQ(status.setting, Setting::enabled);
    EXPECT_FALSE(status.running);
    EXPECT_EQ(status.shellState, DesktopShellExtension::ShellState::notAsked);
}

TEST_F(GnomeShellExtensionInstallerTest, ReplacesItsEarlierCopyWholeWithTheOneForTheShell)
{
    disk.write(u"data/gnome-shell/extensions/"_s + uuid + u"/metadata.json"_s, ourMetadata);
    disk.write(u"data/gnome-shell/extensions/"_s + uuid + u"/stale.js"_s, "// gone\n");
    shellPrints("GNOME Shell 46.alpha");

    const auto change = installer.install();
    EXPECT_EQ(change.outcome, Outcome::installed);
    EXPECT_TRUE(change.replacedEarlierCopy);
    EXPECT_EQ(QDir(userCopy).entryList(QDir::Files),
              (QStringList{u"extension.js"_s, u"metadata.json"_s}));
    EXPECT_EQ(contents(userCopy + u"/extension.js"_s), "// for 45 and later\n");
    EXPECT_EQ(besideExtensions(), QStringList{u"extensions"_s});
}

TEST_F(GnomeShellExtensionInstallerTest, NeverTouchesAFolderOfItsNameThatIsNotItsOwn)
{
    const QByteArray foreign = R"({"uuid": "someone-else@example.org"})";
    disk.write(u"data/gnome-shell/extensions/"_s + uuid + u"/metadata.json"_s, foreign);

    EXPECT_EQ(installer.install().outcome, Outcome::notOurs);
    EXPECT_EQ(list("enabled-extensions"), QStringList{u"other@example.org"_s});
    EXPECT_FALSE(installer.status().userCopyIsOurs);

    setList("enabled-extensions", {uuid.toUtf8()});
    const auto change = installer.remove();
    EXPECT_EQ(change.outcome, Outcome::notOurs);
    EXPECT_EQ(contents(userCopy + u"/metadata.json"_s), foreign);
    EXPECT_EQ(list("enabled-extensions"), QStringList());
}

TEST_F(GnomeShellExtensionInstallerTest, RemovesItsCopyAndALinkToOneButNotWhatTheLinkPointsTo)
{
    ASSERT_EQ(installer.install().outcome, Outcome::installed);
    auto change = installer.remove();
    EXPECT_EQ(change.outcome, Outcome::removed);
    EXPECT_FALSE(QFileInfo::exists(userCopy));
    EXPECT_EQ(change.setting, Setting::notEnabled);
    EXPECT_EQ(list("enabled-extensions"), QStringList{u"other@example.org"_s});
    EXPECT_EQ(list("disabled-extensions"), QStringList()) << "left as the user would find it";
    EXPECT_EQ(installer.remove().outcome, Outcome::nothingToRemove);

    // A developer's working copy, linked into place.
    const QString working = disk.path(u"flavours/45"_s);
    ASSERT_TRUE(QFile::link(working, userCopy));
    EXPECT_EQ(installer.remove().outcome, Outcome::removed);
    EXPECT_FALSE(QFileInfo(userCopy).isSymLink());
    EXPECT_EQ(contents(working + u"/extension.js"_s), "// for 45 and later\n");
    EXPECT_EQ(besideExtensions(), QStringList{u"extensions"_s});
}

TEST_F(GnomeShellExtensionInstallerTest, InstallsNothingWithoutACopyForTheShell)
{
    shellPrints("GNOME Shell 42.9");
    auto change = installer.install();
    EXPECT_EQ(change.outcome, Outcome::unsupportedShell);
    EXPECT_EQ(change.shellVersion, u"42.9"_s);

    shellPrints("not a version");
    EXPECT_EQ(installer.install().outcome, Outcome::unknownShell);

    shellPrints("GNOME Shell 47.1");
    QDir(disk.path(u"flavours/45"_s)).removeRecursively();
    change = installer.install();
    EXPECT_EQ(change.outcome, Outcome::filesMissing);
    EXPECT_EQ(change.reason, disk.path(u"flavours/45"_s));

    EXPECT_FALSE(QFileInfo::exists(disk.path(u"data/gnome-shell/extensions"_s)));
    EXPECT_EQ(list("enabled-extensions"), QStringList{u"other@example.org"_s});
}
