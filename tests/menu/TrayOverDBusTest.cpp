#include "support/StatusNotifierWatcher.h"
#include "support/XvncServer.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDateTime>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>

#include <sys/prctl.h>

using namespace Qt::Literals::StringLiterals;
using korvalen::testing::StatusNotifierWatcher;
using korvalen::testing::XvncServer;

namespace {

const QString itemPath = u"/StatusNotifierItem"_s;
const QString itemInterface = u"org.kde.StatusNotifierItem"_s;
const QString menuInterface = u"com.canonical.dbusmenu"_s;
const QString separator = u"---"_s;
// Generous: the sanitizer build starts a QApplication slowly.
constexpr int timeout = 30000;

// One entry of the menu as a panel receives it from GetLayout.
struct MenuEntry {
    int id = 0;
    QVariantMap properties;
    QList<MenuEntry> children;

    bool isSeparator() const { return properties.value(u"type"_s).toString() == u"separator"_s; }
    QString label() const { return properties.value(u"label"_s).toString(); }
    bool isEnabled() const { return properties.value(u"enabled"_s, true).toBool(); }

    // The labels of the children in order, separators as "---": what the panel draws.
    QStringList outline() const
    {
        QStringList lines;
        for (const MenuEntry& child : children)
            lines.append(child.isSeparator() ? separator : child.label());
        return lines;
    }

    // The first entry with the label, searched depth first.
    const MenuEntry* find(const QString& wanted) const
    {
        for (const MenuEntry& child : children) {
            if (!child.isSeparator() && child.label() == wanted)
                return &child;
            if (const MenuEntry* found = child.find(wanted))
                return found;
        }
        return nullptr;
    }
};

MenuEntry readEntry(const QDBusArgument& argument)
{
    MenuEntry entry;
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        entry.children.append(readEntry(qvariant_cast<QDBusArgument>(child.variant())));
    }
    argument.endArray();
    argument.endStructure();
    return entry;
}

// The revisions a menu announces with LayoutUpdated: a panel that keeps the layout it fetched
// fetches it again only when told so.
class LayoutUpdates : public QObject {
    Q_OBJECT
public:
    QList<uint> revisions;

public Q_SLOTS:
    void record(uint revision, int) { revisions.append(revision); }
};

} // namespace

// Korvalen started as a desktop session starts it, with a panel that shows tray items over D-Bus:
// the test plays the panel's watcher and drives the menu the way the panel does.
class TrayOverDBus : public ::testing::Test {
protected:
    QDBusConnection bus = QDBusConnection::sessionBus();
    StatusNotifierWatcher watcher{bus};
    QTemporaryDir configHome;
    QProcess korvalen;
    QString itemService;
    QString menuPath;
    LayoutUpdates layoutUpdates;

    void SetUp() override
    {
        ASSERT_TRUE(bus.isConnected()) << "no session bus: run the test under dbus-run-session";
        ASSERT_TRUE(watcher.isRegistered())
            << "another StatusNotifierWatcher owns the name: run the test on a bus of its own";
        const QByteArray display = XvncServer::displayStartedIn(QStringLiteral(KORVALEN_XVNC_DIR));
        ASSERT_FALSE(display.isEmpty()) << "no Xvnc server";
        ASSERT_TRUE(configHome.isValid());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // No system language Korvalen has tables for: the menu is in its own language, Chinese.
        for (const QString& name : {u"LANGUAGE"_s, u"LC_ALL"_s, u"LC_MESSAGES"_s})
            environment.remove(name);
        environment.insert(u"LANG"_s, u"C"_s);
        // A theme plugin of the user's choosing could take the tray over.
        environment.remove(u"QT_QPA_PLATFORMTHEME"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.insert(u"DISPLAY"_s, QString::fromLatin1(display));
        environment.insert(u"XDG_CONFIG_HOME"_s, configHome.path());
        korvalen.setProcessEnvironment(environment);
        korvalen.setProcessChannelMode(QProcess::MergedChannels);
        // A test that crashes must not leave a tray running on the X server the next tests share.
        korvalen.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        korvalen.start(QStringLiteral(KORVALEN_EXECUTABLE), {});
        ASSERT_TRUE(korvalen.waitForStarted(timeout)) << korvalen.errorString().toStdString();

        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return !watcher.registeredStatusNotifierItems().isEmpty() ||
                       korvalen.state() != QProcess::Running;
            },
            timeout));
        ASSERT_FALSE(watcher.registeredStatusNotifierItems().isEmpty())
            << "the tray icon never registered with the watcher\n"
            << output();
        itemService = watcher.registeredStatusNotifierItems().constFirst();

        const QVariant menu = itemProperty(u"Menu"_s);
        ASSERT_TRUE(menu.canConvert<QDBusObjectPath>()) << output();
        menuPath = qvariant_cast<QDBusObjectPath>(menu).path();
        ASSERT_TRUE(menuPath.startsWith(u'/')) << output();
        ASSERT_TRUE(bus.connect(itemService, menuPath, menuInterface, u"LayoutUpdated"_s,
                                &layoutUpdates, SLOT(record(uint, int))));
    }

    void TearDown() override
    {
        if (korvalen.state() != QProcess::NotRunning) {
            korvalen.terminate();
            if (!korvalen.waitForFinished(timeout))
                korvalen.kill();
            korvalen.waitForFinished(timeout);
        }
        // Qt reports trouble with the bus only on the console: a registration or a reply that
        // failed would otherwise pass unnoticed while the panel shows nothing.
        const std::string printed = output();
        EXPECT_EQ(printed.find("D-Bus"), std::string::npos) << printed;
        EXPECT_EQ(printed.find("QDBus"), std::string::npos) << printed;
    }

    // Everything Korvalen printed so far, for failure messages.
    std::string output()
    {
        m_output += QString::fromLocal8Bit(korvalen.readAll());
        QString report = u"korvalen output:\n"_s + m_output;
        if (korvalen.state() == QProcess::NotRunning)
            report +=
                u"\nkorvalen %1 with code %2"_s
                    .arg(korvalen.exitStatus() == QProcess::CrashExit ? u"crashed"_s : u"exited"_s)
                    .arg(korvalen.exitCode());
        return report.toStdString();
    }

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(itemService, path, interface, method);
        message.setArguments(arguments);
        return bus.call(message, QDBus::Block, timeout);
    }

    QVariant itemProperty(const QString& name)
    {
        const QDBusMessage reply =
            call(itemPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {itemInterface, name});
        if (reply.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << "reading " << name.toStdString() << ": "
                          << reply.errorMessage().toStdString() << '\n'
                          << output();
            return {};
        }
        return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
    }

    // What a panel does when the user opens the menu: announce it, then fetch the whole tree.
    std::optional<MenuEntry> openMenu()
    {
        const QDBusMessage shown = call(menuPath, menuInterface, u"AboutToShow"_s, {0});
        if (shown.type() != QDBusMessage::ReplyMessage) {
            ADD_FAILURE() << "AboutToShow: " << shown.errorMessage().toStdString() << '\n'
                          << output();
            return std::nullopt;
        }
        const QDBusMessage layout =
            call(menuPath, menuInterface, u"GetLayout"_s, {0, -1, QStringList()});
        if (layout.type() != QDBusMessage::ReplyMessage || layout.arguments().size() != 2) {
            ADD_FAILURE() << "GetLayout: " << layout.errorMessage().toStdString() << '\n'
                          << output();
            return std::nullopt;
        }
        return readEntry(qvariant_cast<QDBusArgument>(layout.arguments().at(1)));
    }

    // Clicks the entry with the label in the menu as last fetched: entries get new ids whenever
    // the menu is rebuilt, so they are found by what they show.
    ::testing::AssertionResult click(const MenuEntry& menu, const QString& label)
    {
        const MenuEntry* entry = menu.find(label);
        if (!entry)
            return ::testing::AssertionFailure() << "no entry \"" << label.toStdString() << "\" in "
                                                 << menu.outline().join(u" | "_s).toStdString();
        const auto timestamp = static_cast<uint>(QDateTime::currentSecsSinceEpoch());
        const QDBusMessage reply =
            call(menuPath, menuInterface, u"Event"_s,
                 {entry->id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), timestamp});
        if (reply.type() == QDBusMessage::ErrorMessage)
            return ::testing::AssertionFailure()
                   << "clicking \"" << label.toStdString()
                   << "\": " << reply.errorMessage().toStdString() << '\n'
                   << output();
        return ::testing::AssertionSuccess();
    }

    QString settingsFile() const { return configHome.filePath(u"Korvalen/Korvalen.conf"_s); }

    // Opens the file afresh on each read: a QSettings keeps what it read once.
    QString setting(const QString& key) const
    {
        return QSettings(settingsFile(), QSettings::IniFormat).value(key).toString();
    }

    // Waits until Korvalen has written a value for the key that passes the check.
    ::testing::AssertionResult settingBecomes(const QString& key,
                                              const std::function<bool(const QString&)>& check)
    {
        QString value;
        if (QTest::qWaitFor([&] { return check(value = setting(key)); }, timeout))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << key.toStdString() << " is \"" << value.toStdString()
                                             << "\" in " << settingsFile().toStdString() << '\n'
                                             << output();
    }

    static std::function<bool(const QString&)> is(const QString& expected)
    {
        return [expected](const QString& value) { return value == expected; };
    }

private:
    QString m_output;
};

TEST_F(TrayOverDBus, PanelShowsTheMenuWithItsStatesShortcutAndLanguageSubmenu)
{
    EXPECT_EQ(itemProperty(u"Title"_s).toString(), u"Korvalen"_s);

    const auto menu = openMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->outline(),
              (QStringList{u"Korvalen"_s, separator, u"未启用全局默认输入法"_s, u"锁定当前输入法"_s,
                           separator, u"按 App 自动切换"_s, u"为当前 App 添加规则…"_s,
                           u"管理规则…"_s, separator, u"语言"_s, separator, u"退出 Korvalen"_s}))
        << output();
    if (menu->children.size() != 12)
        return;

    // Headings the user cannot choose.
    EXPECT_FALSE(menu->children[0].isEnabled());
    EXPECT_FALSE(menu->children[2].isEnabled());
    EXPECT_TRUE(menu->children[3].isEnabled());

    const MenuEntry& autoSwitch = menu->children[5];
    EXPECT_EQ(autoSwitch.properties.value(u"toggle-type"_s).toString(), u"checkmark"_s);
    EXPECT_EQ(autoSwitch.properties.value(u"toggle-state"_s).toInt(), 1);
    EXPECT_FALSE(menu->children[3].properties.contains(u"toggle-type"_s));

    const QVariant shortcut = menu->children[7].properties.value(u"shortcut"_s);
    ASSERT_TRUE(shortcut.canConvert<QDBusArgument>()) << "manage rules has no shortcut";
    EXPECT_EQ(qdbus_cast<QList<QStringList>>(shortcut),
              (QList<QStringList>{{u"Control"_s, u","_s}}));

    const MenuEntry& language = menu->children[9];
    EXPECT_EQ(language.properties.value(u"children-display"_s).toString(), u"submenu"_s);
    ASSERT_EQ(language.children.size(), 19) << language.outline().join(u" | "_s).toStdString();
    EXPECT_EQ(language.children[0].label(), u"跟随系统"_s);
    EXPECT_EQ(language.children[2].label(), u"繁體中文"_s);
    EXPECT_EQ(language.children[18].label(), u"Bahasa Melayu"_s);
    for (qsizetype i = 0; i < language.children.size(); ++i) {
        SCOPED_TRACE(language.children[i].label().toStdString());
        EXPECT_EQ(language.children[i].properties.value(u"toggle-type"_s).toString(), u"radio"_s);
        EXPECT_EQ(language.children[i].properties.value(u"toggle-state"_s).toInt(), i == 0 ? 1 : 0);
    }
}

// Each choice reaches the settings file, and the next opening shows the menu rebuilt for it, as
// a panel that keeps its copy of the layout is told.
TEST_F(TrayOverDBus, ChoicesMadeInThePanelAreSavedAndShownTheNextTimeTheMenuOpens)
{
    auto menu = openMenu();
    ASSERT_TRUE(menu);

    ASSERT_TRUE(click(*menu, u"锁定当前输入法"_s));
    EXPECT_TRUE(settingBecomes(u"Korvalen.globalFallbackMode"_s, is(u"locked"_s)));
    EXPECT_TRUE(settingBecomes(u"Korvalen.lockedSourceID"_s,
                               [](const QString& id) { return id.startsWith(u"xkb:"_s); }));
    const qsizetype updatesBefore = layoutUpdates.revisions.size();
    menu = openMenu();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return layoutUpdates.revisions.size() > updatesBefore; }, timeout))
        << "the rebuilt menu was never announced with LayoutUpdated";
    const QStringList locked = menu->outline();
    ASSERT_EQ(locked.size(), 12) << locked.join(u" | "_s).toStdString() << '\n' << output();
    // The line names the source that was locked, as stored with it.
    const QString lockedName = setting(u"Korvalen.lockedSourceName"_s);
    EXPECT_FALSE(lockedName.isEmpty());
    EXPECT_EQ(locked[2], u"锁定中："_s + lockedName);
    EXPECT_EQ(locked[3], u"解除锁定"_s);

    ASSERT_TRUE(click(*menu, u"按 App 自动切换"_s));
    EXPECT_TRUE(settingBecomes(u"Korvalen.autoSwitchEnabled"_s, is(u"false"_s)));
    menu = openMenu();
    ASSERT_TRUE(menu);
    const MenuEntry* autoSwitch = menu->find(u"按 App 自动切换"_s);
    ASSERT_TRUE(autoSwitch);
    EXPECT_EQ(autoSwitch->properties.value(u"toggle-state"_s).toInt(), 0);

    ASSERT_TRUE(click(*menu, u"English"_s));
    EXPECT_TRUE(settingBecomes(u"Korvalen.languageOverride"_s, is(u"en"_s)));
    menu = openMenu();
    ASSERT_TRUE(menu);
    const QStringList english = menu->outline();
    EXPECT_TRUE(english.contains(u"Unlock"_s)) << english.join(u" | "_s).toStdString();
    EXPECT_TRUE(english.contains(u"Language"_s)) << english.join(u" | "_s).toStdString();
    const MenuEntry* chosen = menu->find(u"English"_s);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->properties.value(u"toggle-state"_s).toInt(), 1);

    ASSERT_TRUE(click(*menu, u"Quit Korvalen"_s));
    ASSERT_TRUE(QTest::qWaitFor([&] { return korvalen.state() == QProcess::NotRunning; }, timeout))
        << "Quit left Korvalen running\n"
        << output();
    EXPECT_EQ(korvalen.exitStatus(), QProcess::NormalExit) << output();
    EXPECT_EQ(korvalen.exitCode(), 0) << output();
}

#include "TrayOverDBusTest.moc"
