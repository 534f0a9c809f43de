// Times how fast the keyboard layout follows the window in front, for Korvalen and for xxkb, a
// layout switcher that keeps a layout per window, in the same run: on an X server of its own
// (Xvnc) with two layouts (us, ru), openbox and two xterm windows that each want one of them, a
// pager's activation request (_NET_ACTIVE_WINDOW, as `xdotool windowactivate` sends) goes to
// the window manager, and the time until the XKB group changes is taken on a connection of the
// benchmark's own. Prints the median, 95th and 99th percentiles of each, and their ratio.
//
// bench_activation_latency [--activations N] [--korvalen PATH]

#include "ActivationLatencyProbe.h"
#include "support/XvncServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <sched.h>

using namespace korvalen::bench;
using korvalen::testing::XvncServer;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int defaultActivations = 200;
// The first activations read windows, desktop entries and keymaps that later ones find known.
constexpr int warmUpActivations = 10;
// Room after each activation for the rest of what it sets off, so that the next one starts on a
// quiet machine.
constexpr int settleMilliseconds = 30;
constexpr int startTimeoutMilliseconds = 15'000;
// Each program runs this many times, taking turns.
constexpr int rounds = 4;

struct TestWindow {
    QByteArray className;
    QString sourceID; // the layout Korvalen's rule gives it
    int group;        // that layout's XKB group
    ActivationLatencyProbe::Window id = 0;
};

// A program the benchmark runs, ended when the object goes; what it said is kept for when it
// fails.
class Child {
public:
    Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& env)
    {
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program, arguments);
    }
    ~Child()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits until the program has printed the text; false when it ends or the time is up first.
    bool waitForOutput(const QByteArray& text, int timeoutMilliseconds)
    {
        while (!m_output.contains(text)) {
            if (!m_process.waitForReadyRead(timeoutMilliseconds))
                return false;
            m_output += m_process.readAll();
        }
        return true;
    }
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

struct Figures {
    std::vector<double> milliseconds; // sorted
    int unanswered = 0;

    // Nearest rank: the smallest time that at least `percent` % of the activations took at most.
    double percentile(double percent) const
    {
        const auto rank = size_t(std::ceil(percent / 100.0 * double(milliseconds.size())));
        return milliseconds.at(std::max<size_t>(rank, 1) - 1);
    }
};

bool waitFor(ActivationLatencyProbe& probe, const std::function<bool()>& condition,
             int timeoutMilliseconds = startTimeoutMilliseconds)
{
    for (int waited = 0; !condition(); waited += 50) {
        if (waited >= timeoutMilliseconds)
            return false;
        probe.settle(50);
    }
    return true;
}

// The environment of a program of the stage: the benchmark's display, and nothing of a desktop
// session the benchmark may have been started from.
QProcessEnvironment stageEnvironment(const QByteArray& display, const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XDG_CURRENT_DESKTOP",
                             "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "SESSION_MANAGER",
                             "KDE_FULL_SESSION", "AT_SPI_BUS_ADDRESS", "XAUTHORITY"})
        env.remove(QString::fromLatin1(name));
    env.insert(u"DISPLAY"_s, QString::fromLatin1(display));
    env.insert(u"HOME"_s, home);
    env.insert(u"XDG_CONFIG_HOME"_s, home + u"/.config"_s);
    env.insert(u"XDG_CACHE_HOME"_s, home + u"/.cache"_s);
    env.insert(u"XDG_DATA_HOME"_s, home + u"/.local/share"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, home + u"/runtime"_s);
    // No session bus: no input method framework answers instead of the XKB layouts.
    env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + home + u"/no-session-bus"_s);
    env.insert(u"LANG"_s, u"C.UTF-8"_s);
    return env;
}

QString makeHome(const QTemporaryDir& folder, const QString& name)
{
    const QString home = folder.filePath(name);
    QDir().mkpath(home + u"/.config/Korvalen"_s);
    QDir().mkpath(home + u"/runtime"_s);
    QFile::setPermissions(home + u"/runtime"_s,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return home;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// Korvalen's settings with one application rule per window, as its settings file keeps them:
// JSON, its quotes escaped for the INI value.
QByteArray korvalenSettings(const std::vector<TestWindow>& windows)
{
    QByteArrayList rules;
    for (const TestWindow& window : windows) {
        rules << R"({\"bundleID\":\")" + window.className + R"(\",\"appDisplayName\":\")" +
                     window.className + R"(\",\"inputSourceID\":\")" + window.sourceID.toUtf8() +
                     R"(\",\"inputSourceDisplayName\":\")" + window.sourceID.toUtf8() + R"(\"})";
    }
    return "[General]\nKorvalen.rules=\"@ByteArray([" + rules.join(',') +
           "])\"\nKorvalen.autoSwitchEnabled=true\n";
}

// xxkb with no window of its own, switching among all groups, remembering a group per window.
QByteArray xxkbSettings()
{
    return "XXkb.mainwindow.type: normal\n"
           "XXkb.mainwindow.enable: no\n"
           "XXkb.mainwindow.geometry: 48x48+0+0\n"
           "XXkb.button.enable: no\n"
           "XXkb.controls.two_state: no\n"
           "XXkb.controls.add_when_start: yes\n"
           "XXkb.controls.add_when_create: yes\n"
           "XXkb.controls.add_when_change: no\n"
           "XXkb.controls.focusout: no\n";
}

// Activates the windows in turn, the first `warmUpActivations` unmeasured.
void measure(ActivationLatencyProbe& probe, const std::vector<TestWindow>& windows, int activations,
             Figures& figures)
{
    for (int i = 0; i < warmUpActivations + activations; ++i) {
        const TestWindow& window = windows.at(size_t(i + 1) % windows.size());
        const std::optional<double> latency = probe.timeActivation(window.id, window.group);
        probe.settle(settleMilliseconds);
        if (i < warmUpActivations)
            continue;
        if (latency)
            figures.milliseconds.push_back(*latency);
        else
            ++figures.unanswered;
    }
}

// Whether activating each window brings its layout, starting from the first window.
bool followsWindows(ActivationLatencyProbe& probe, const std::vector<TestWindow>& windows)
{
    for (const TestWindow& window : windows) {
        if (!probe.activate(window.id) ||
            !waitFor(
                probe, [&] { return probe.group() == window.group; }, 2000))
            return false;
    }
    return probe.activate(windows.front().id) &&
           waitFor(
               probe, [&] { return probe.group() == windows.front().group; }, 2000);
}

void printRow(const char* label, const Figures& figures, int activations)
{
    if (figures.milliseconds.empty()) {
        std::printf("%-16s no activation switched the layout\n", label);
        return;
    }
    std::printf("%-16s %8.3f %8.3f %8.3f %8.3f %6d/%d\n", label, figures.percentile(50),
                figures.percentile(95), figures.percentile(99), figures.milliseconds.back(),
                figures.unanswered, activations);
}

// The processors this process may run on, as nproc counts them.
int processorCount()
{
    cpu_set_t processors;
    CPU_ZERO(&processors);
    return ::sched_getaffinity(0, sizeof processors, &processors) == 0 ? CPU_COUNT(&processors) : 0;
}

int fail(const QByteArray& what, const QByteArray& output = {})
{
    std::fprintf(stderr, "bench_activation_latency: %s\n", what.constData());
    if (!output.isEmpty())
        std::fprintf(stderr, "--- its output:\n%s\n", output.constData());
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({u"activations"_s, u"Activations measured for each program."_s, u"N"_s,
                      QString::number(defaultActivations)});
    parser.addOption({u"korvalen"_s, u"The Korvalen executable."_s, u"PATH"_s,
                      QStringLiteral(KORVALEN_EXECUTABLE)});
    parser.addHelpOption();
    parser.process(app);
    const int activations = parser.value(u"activations"_s).toInt();
    if (activations <= 0)
        return fail("--activations takes a positive number");

    XvncServer server{QStringLiteral(KORVALEN_XVNC_FIXTURE)};
    const QByteArray display = server.displayName();
    if (display.isEmpty())
        return fail("Xvnc did not start");
    if (QProcess::execute(u"setxkbmap"_s, {u"-display"_s, QString::fromLatin1(display),
                                           u"-layout"_s, u"us,ru"_s}) != 0)
        return fail("setxkbmap could not load the layouts us,ru");
    QTemporaryDir folder;
    ActivationLatencyProbe probe(display);
    if (!folder.isValid() || !probe.isConnected())
        return fail("no temporary folder or no connection to Xvnc");

    const QProcessEnvironment stage = stageEnvironment(display, makeHome(folder, u"stage"_s));
    Child openbox(u"openbox"_s, {u"--sm-disable"_s}, stage);
    if (!waitFor(probe, [&] { return probe.hasWindowManager(); }))
        return fail("openbox did not take over the screen", openbox.output());
    std::vector<TestWindow> windows{{"LatencyEnglish", u"xkb:us"_s, 0},
                                    {"LatencyRussian", u"xkb:ru"_s, 1}};
    std::vector<std::unique_ptr<Child>> terminals;
    for (TestWindow& window : windows) {
        const QString className = QString::fromLatin1(window.className);
        terminals.push_back(std::make_unique<Child>(
            u"xterm"_s,
            // The instance name too: xterm's own would lead to xterm's desktop entry.
            QStringList{u"-name"_s, className, u"-class"_s, className, u"-title"_s, className},
            stage));
        if (!waitFor(probe, [&] {
                window.id = probe.clientWindowOfClass(window.className).value_or(0);
                return window.id != 0;
            }))
            return fail("an xterm window did not show up", terminals.back()->output());
    }

    const QString korvalenHome = makeHome(folder, u"korvalen"_s);
    const QString xxkbHome = makeHome(folder, u"xxkb"_s);
    if (!writeFile(korvalenHome + u"/.config/Korvalen/Korvalen.conf"_s,
                   korvalenSettings(windows)) ||
        !writeFile(xxkbHome + u"/.xxkbrc"_s, xxkbSettings()))
        return fail("could not write the settings");
    QProcessEnvironment korvalenEnvironment = stageEnvironment(display, korvalenHome);
    // Korvalen reaches X over connections of its own; Qt's windows (the rules window, opened
    // where no tray is) stay off the screen and so out of the window manager's focus.
    korvalenEnvironment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    const auto startKorvalen = [&](Child& running) {
        return running.waitForOutput("Korvalen is running", startTimeoutMilliseconds) &&
               followsWindows(probe, windows);
    };
    // xxkb learns each window's layout from the user switching it there, and says nothing when
    // it is ready: teach it until it follows.
    const auto startXxkb = [&](Child&) {
        return waitFor(probe, [&] {
            for (const TestWindow& window : windows) {
                if (!probe.activate(window.id) || !probe.lockGroup(window.group))
                    return false;
            }
            return followsWindows(probe, windows);
        });
    };
    struct Contender {
        const char* name;
        QString program;
        QProcessEnvironment environment;
        std::function<bool(Child&)> start;
        Figures figures;
    };
    Contender contenders[] = {
        {"Korvalen", parser.value(u"korvalen"_s), korvalenEnvironment, startKorvalen, {}},
        {"xxkb", u"xxkb"_s, stageEnvironment(display, xxkbHome), startXxkb, {}},
    };
    // In turns, so that whatever else the machine does weighs on both alike.
    for (int round = 0; round < rounds; ++round) {
        for (Contender& contender : contenders) {
            Child running(contender.program, {}, contender.environment);
            if (!contender.start(running))
                return fail(contender.name + " does not switch the layouts"_ba, running.output());
            measure(probe, windows, activations / rounds + (round < activations % rounds),
                    contender.figures);
        }
    }
    for (Contender& contender : contenders)
        std::ranges::sort(contender.figures.milliseconds);
    const Figures& korvalen = contenders[0].figures;
    const Figures& xxkb = contenders[1].figures;

    double load = 0;
    getloadavg(&load, 1);
    std::printf("Activation latency: from a _NET_ACTIVE_WINDOW request to the XKB group change, "
                "in ms\n(Xvnc, openbox, two xterm windows with different layouts; %d activations "
                "each in %d turns after %d unmeasured each; %d cores, load average %.1f)\n\n",
                activations, rounds, warmUpActivations, processorCount(), load);
    std::printf("%-16s %8s %8s %8s %8s %s\n", "", "median", "p95", "p99", "max", "unanswered");
    printRow("Korvalen", korvalen, activations);
    printRow("xxkb", xxkb, activations);
    if (!korvalen.milliseconds.empty() && !xxkb.milliseconds.empty()) {
        std::printf("%-16s %8.2f %8.2f %8.2f %8.2f\n", "Korvalen / xxkb",
                    korvalen.percentile(50) / xxkb.percentile(50),
                    korvalen.percentile(95) / xxkb.percentile(95),
                    korvalen.percentile(99) / xxkb.percentile(99),
                    korvalen.milliseconds.back() / xxkb.milliseconds.back());
    }
    return korvalen.unanswered + xxkb.unanswered == 0 ? 0 : 1;
}
