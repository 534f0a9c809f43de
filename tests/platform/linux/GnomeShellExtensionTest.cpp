#include "GnomeShellSession.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <signal.h>

using namespace Qt::Literals::StringLiterals;
using korvalen::testing::GnomeShellSession;

namespace {

const QString service = u"io.github.korvalen.Shell"_s;
const QString objectPath = u"/io/github/korvalen/Shell"_s;

// Wayland app ids of foot windows: the Shell has a desktop entry for the first only.
const QString listed = u"org.korvalen.test.Listed"_s;
const QString unlisted = u"org.korvalen.test.Unlisted"_s;

struct Window {
    QString appId, wmClass, wmClassInstance;
    uint pid = 0;
    QString title;
    bool operator==(const Window&) const = default;
};

void PrintTo(const Window& window, std::ostream* out)
{
    *out << '(' << window.appId.toStdString() << ", " << window.wmClass.toStdString() << ", "
         << window.wmClassInstance.toStdString() << ", " << window.pid << ", "
         << window.title.toStdString() << ')';
}

Window windowFrom(const QVariantList& fields)
{
    return {fields.value(0).toString(), fields.value(1).toString(), fields.value(2).toString(),
            fields.value(3).toUInt(), fields.value(4).toString()};
}

const QDBusArgument& operator>>(const QDBusArgument& argument, Window& window)
{
    argument.beginStructure();
    argument >> window.appId >> window.wmClass >> window.wmClassInstance >> window.pid >>
        window.title;
    argument.endStructure();
    return argument;
}

using InputSources = QList<std::pair<QString, QString>>;

// A signal's arrivals, in order.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    QList<QDBusMessage> arrivals;

public Q_SLOTS:
    void record(const QDBusMessage& message) { arrivals.append(message); }
};

bool waitUntil(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10'000);
}

QString processName(uint pid)
{
    QFile comm(u"/proc/%1/comm"_s.arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll().trimmed()) : QString();
}

class GnomeShellExtensionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.isConnected()) << "no GNOME Shell session: its fixture says why above";
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {},
                      const QString& destination = service) const
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(destination, objectPath, service, method);
        message.setArguments(arguments);
        return bus.call(message);
    }

    Window focusedWindow() const { return windowFrom(call(u"FocusedWindow"_s).arguments()); }

    QList<Window> windows() const
    {
        QList<Window> windows;
        call(u"Windows"_s).arguments().value(0).value<QDBusArgument>() >> windows;
        return windows;
    }

    std::pair<InputSources, int> inputSources() const
    {
        const QVariantList reply = call(u"InputSources"_s).arguments();
        InputSources sources;
        reply.value(0).value<QDBusArgument>() >> sources;
        return {sources, reply.value(1, -2).toInt()};
    }

    int currentInputSource() const { return inputSources().second; }

    bool listen(const QString& signal, SignalRecorder& recorder)
    {
        return bus.connect(service, objectPath, service, signal, &recorder,
                           SLOT(record(QDBusMessage)));
    }

    // What the extension's methods answer a program of another user on the bus, as dbus-send
    // prints it.
    QString callAs(const QString& user, const QStringList& arguments) const
    {
        QProcess dbusSend;
        dbusSend.setProcessChannelMode(QProcess::MergedChannels);
        dbusSend.start(u"runuser"_s,
                       QStringList{u"-u"_s, user, u"--"_s, u"dbus-send"_s,
                                   u"--bus="_s + session.busAddress(), u"--print-reply"_s,
                                   u"--dest="_s + service, objectPath} +
                           arguments);
        dbusSend.waitForFinished();
        return QString::fromUtf8(dbusSend.readAll());
    }

    bool toggleExtension(const QString& method) const
    {
        return bus
            .call(QDBusMessage::createMethodCall(u"org.gnome.Shell"_s, u"/org/gnome/Shell"_s,
                                                 u"org.gnome.Shell.Extensions"_s, method)
                  << u"korvalen@korvalen.github.io"_s)
            .arguments()
            .value(0)
            .toBool();
    }

    bool extensionPresent() const { return bus.interface()->isServiceRegistered(service).value(); }

    GnomeShellSession session{QStringLiteral(KORVALEN_GNOME_SHELL_FIXTURE), {listed}};
    QDBusConnection bus = session.connect(u"test"_s);
};

} // namespace

TEST_F(GnomeShellExtensionTest, FocusedWindowAndItsChanges)
{
    ASSERT_TRUE(extensionPresent());
    EXPECT_EQ(focusedWindow(), Window{});
    EXPECT_TRUE(windows().isEmpty());
    SignalRecorder focusChanges;
    ASSERT_TRUE(listen(u"FocusChanged"_s, focusChanges));
    const auto changedTo = [&](qsizetype index) {
        return windowFrom(focusChanges.arrivals.value(index).arguments());
    };

    ASSERT_TRUE(session.open(u"foot"_s, {u"--app-id="_s + listed}));
    ASSERT_TRUE(waitUntil([&] { return focusChanges.arrivals.size() == 1; }));
    const Window first = changedTo(0);
    EXPECT_EQ(first.appId, listed);
    EXPECT_EQ(first.wmClass, listed);
    EXPECT_EQ(first.wmClassInstance, listed);
    EXPECT_EQ(processName(first.pid), u"foot"_s);
    EXPECT_EQ(first.title, u"foot"_s);
    EXPECT_EQ(focusedWindow(), first);

    // No desktop entry: the Shell makes an app up for the window, which has no id to give.
    ASSERT_TRUE(session.open(u"foot"_s, {u"--app-id="_s + unlisted}));
    ASSERT_TRUE(waitUntil([&] { return focusChanges.arrivals.size() == 2; }));
    const Window second = changedTo(1);
    EXPECT_EQ(second, (Window{QString(), unlisted, unlisted, second.pid, u"foot"_s}));
    EXPECT_NE(second.pid, first.pid);
    EXPECT_EQ(windows(), (QList{first, second}));

    // Back to the first window, then again to the window that has the focus already: the
    // answer comes after any signal the Shell sent before it.
    ASSERT_TRUE(session.activate(listed));
    ASSERT_TRUE(waitUntil([&] { return focusChanges.arrivals.size() == 3; }));
    EXPECT_EQ(changedTo(2), first);
    ASSERT_TRUE(session.activate(listed));
    EXPECT_EQ(focusedWindow(), first);
    QCoreApplication::processEvents();
    EXPECT_EQ(focusChanges.arrivals.size(), 3);

    // Closing the focused window passes the focus on; closing the last leaves none of ours (the
    // session's own services may, now and then, show a window of theirs).
    ASSERT_EQ(::kill(static_cast<pid_t>(first.pid), SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return focusChanges.arrivals.size() == 4; }));
    EXPECT_EQ(changedTo(3), second);
    ASSERT_EQ(::kill(static_cast<pid_t>(second.pid), SIGTERM), 0);
    ASSERT_TRUE(waitUntil([&] { return focusChanges.arrivals.size() == 5; }));
    const Window last = changedTo(4);
    EXPECT_TRUE(last.appId.isEmpty() && last.wmClass.isEmpty()) << qPrintable(last.wmClass);
    EXPECT_TRUE(waitUntil([&] { return !windows().contains(second); }));
}

TEST_F(GnomeShellExtensionTest, InputSourcesAreListedAndSwitched)
{
    const InputSources configured{{u"xkb:us"_s, u"English (US)"_s},
                                  {u"xkb:de+nodeadkeys"_s, u"German (no dead keys)"_s}};
    EXPECT_EQ(inputSources(), std::pair(configured, 0));
    SignalRecorder changes;
    ASSERT_TRUE(listen(u"SourceChanged"_s, changes));

    EXPECT_EQ(call(u"ActivateSource"_s, {1u}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(waitUntil([&] { return !changes.arrivals.isEmpty(); }));
    EXPECT_EQ(currentInputSource(), 1);

    // Refused, and the Shell goes on.
    for (const QVariant& index : {QVariant(2u), QVariant(u"0"_s)}) {
        const QDBusMessage refusal = call(u"ActivateSource"_s, {index});
        EXPECT_EQ(refusal.errorName(), u"org.freedesktop.DBus.Error.InvalidArgs"_s)
            << index.toString().toStdString();
    }
    EXPECT_EQ(currentInputSource(), 1);

    // The user's own change of the list.
    changes.arrivals.clear();
    ASSERT_TRUE(session.open(u"gsettings"_s, {u"set"_s, u"org.gnome.desktop.input-sources"_s,
                                              u"sources"_s, u"[('xkb', 'fr'), ('xkb', 'us')]"_s}));
    EXPECT_TRUE(waitUntil([&] { return !changes.arrivals.isEmpty(); }));
    EXPECT_TRUE(waitUntil([&] { return inputSources().first.value(0).first == u"xkb:fr"_s; }));
    EXPECT_EQ(inputSources().first,
              (InputSources{{u"xkb:fr"_s, u"French"_s}, {u"xkb:us"_s, u"English (US)"_s}}));
}

// A window list and titles are private: the bus admits other users' programs, the extension
// answers them only the harmless version property. Root's calls are the other tests'.
TEST_F(GnomeShellExtensionTest, OnlyTheSessionsUserAndRootAreAnswered)
{
    const QString version =
        callAs(u"nobody"_s, {u"org.freedesktop.DBus.Properties.Get"_s, u"string:"_s + service,
                             u"string:InterfaceVersion"_s});
    EXPECT_TRUE(version.contains(u"uint32 1"_s)) << version.toStdString();
    for (const QStringList& method :
         {QStringList{service + u".FocusedWindow"_s}, QStringList{service + u".Windows"_s},
          QStringList{service + u".InputSources"_s},
          QStringList{service + u".ActivateSource"_s, u"uint32:1"_s}}) {
        const QString answer = callAs(u"nobody"_s, method);
        EXPECT_TRUE(answer.startsWith(u"Error org.freedesktop.DBus.Error.AccessDenied"_s))
            << answer.toStdString();
    }
    EXPECT_EQ(currentInputSource(), 0);

    const QString own = callAs(u"korvalen-test"_s, {service + u".InputSources"_s});
    EXPECT_TRUE(own.contains(u"int32 0"_s)) << own.toStdString();
}

TEST_F(GnomeShellExtensionTest, InterfaceComesAndGoesWithTheExtensionAndTheShell)
{
    const QString shell = bus.interface()->serviceOwner(u"org.gnome.Shell"_s);
    ASSERT_TRUE(toggleExtension(u"DisableExtension"_s));
    EXPECT_TRUE(waitUntil([&] { return !extensionPresent(); }));
    EXPECT_EQ(call(u"InputSources"_s, {}, shell).errorName(),
              u"org.freedesktop.DBus.Error.UnknownMethod"_s);

    // Enabled again, it follows the focus again: a window opened meanwhile, then another.
    ASSERT_TRUE(session.open(u"foot"_s, {u"--app-id="_s + unlisted}));
    ASSERT_TRUE(toggleExtension(u"EnableExtension"_s));
    ASSERT_TRUE(waitUntil([&] { return extensionPresent(); }));
    EXPECT_TRUE(waitUntil([&] { return focusedWindow().wmClass == unlisted; }));
    SignalRecorder focusChanges, sourceChanges;
    ASSERT_TRUE(listen(u"FocusChanged"_s, focusChanges));
    ASSERT_TRUE(listen(u"SourceChanged"_s, sourceChanges));
    ASSERT_TRUE(session.open(u"foot"_s, {u"--app-id="_s + listed}));
    EXPECT_TRUE(waitUntil([&] { return !focusChanges.arrivals.isEmpty(); }));
    EXPECT_EQ(windowFrom(focusChanges.arrivals.value(0).arguments()).appId, listed);
    EXPECT_EQ(call(u"ActivateSource"_s, {1u}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(waitUntil([&] { return !sourceChanges.arrivals.isEmpty(); }));

    // The Shell ended and started again on the same bus.
    ASSERT_TRUE(session.stopShell());
    EXPECT_TRUE(waitUntil([&] { return !extensionPresent(); }));
    ASSERT_TRUE(session.start());
    EXPECT_TRUE(extensionPresent());
    EXPECT_EQ(inputSources().first.size(), 2);
}

// The interface is written down once. The extensions for GNOME 43 and for 45 embed it, and differ
// only in how they import and present themselves to the Shell: the one for 45 cannot run here.
TEST(GnomeShellExtensionSourcesTest, ExtensionsCarryTheContractAndOneLogic)
{
    const auto part = [](const QString& path, const QString& pattern) {
        QFile file(QStringLiteral(KORVALEN_GNOME_SHELL_DIR) + u'/' + path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)
            .match(QString::fromUtf8(file.readAll()))
            .captured();
    };
    const QString node = u"<node>.*</node>"_s;
    const QString contract = part(u"io.github.korvalen.Shell.xml"_s, node);
    ASSERT_FALSE(contract.isEmpty());
    EXPECT_EQ(part(u"43/extension.js"_s, node), contract);

    const QString logic = part(u"43/extension.js"_s, u"const BUS_NAME.*(?=\\nclass Extension )"_s);
    ASSERT_FALSE(logic.isEmpty());
    EXPECT_EQ(part(u"45/extension.js"_s, u"const BUS_NAME.*(?=\\nexport default class )"_s), logic);
}

#include "GnomeShellExtensionTest.moc"
