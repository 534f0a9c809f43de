// Runs the real korvalen program on the display and session bus it is given, and measures what a
// user pays for it: the time from exec to its first enforcement pass, and, once started, what it
// costs while nothing happens (processor time, wake-ups, resident memory).
//
//   bench_korvalen startup <runs> <application in front> <korvalen>
//   bench_korvalen idle <seconds> <application in front> <description> <korvalen>
//
// Every Korvalen of the user logs into one file; the application in front, which its first pass
// names, tells this one's lines from the others'. Korvalen's own output goes to standard error.

#include "EnforcementLogWatch.h"
#include "Figure.h"
#include "ProcessUsage.h"
#include "enforcement/EnforcementLog.h"

#include <QFile>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using namespace korvalen;
using namespace korvalen::bench;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr auto startLimit = 15s;
// Whatever the start left for the event loop (the tray's embedding, deferred work) is over by
// then, so that the idle measurement sees idleness only.
constexpr auto settling = 3s;

pid_t launch(const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool hasEnded(pid_t pid, SteadyClock::duration patience)
{
    const auto until = SteadyClock::now() + patience;
    while (::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (SteadyClock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The way a user ends it: `korvalen --quit`; killed when that does not work.
void stop(const std::string& program, pid_t pid)
{
    const pid_t quit = launch(program, {"--quit"});
    if (quit > 0)
        hasEnded(quit, 10s);
    if (!hasEnded(pid, 5s)) {
        std::fprintf(stderr, "korvalen did not quit; killed\n");
        ::kill(pid, SIGKILL);
        hasEnded(pid, 5s);
    }
}

class Korvalen {
public:
    Korvalen(std::string program, const std::string& front)
        : m_program(std::move(program))
        , m_firstPass("enforce(appActivated): front=" + front + ' ')
    {
    }
    Korvalen(const Korvalen&) = delete;
    Korvalen& operator=(const Korvalen&) = delete;
    ~Korvalen()
    {
        if (m_pid > 0)
            stop(m_program, m_pid);
    }

    // Starts it; the time from exec to its first pass, or none when it did not come.
    std::optional<SteadyClock::duration> start()
    {
        EnforcementLogWatch log(QFile::encodeName(EnforcementLog::defaultPath).toStdString());
        const auto exec = SteadyClock::now();
        m_pid = launch(m_program, {});
        if (m_pid <= 0 || !log.waitForLine(m_firstPass, exec + startLimit)) {
            std::fprintf(stderr, "korvalen made no first pass in front of the expected window\n");
            return std::nullopt;
        }
        return SteadyClock::now() - exec;
    }

    pid_t pid() const { return m_pid; }

private:
    std::string m_program;
    std::string m_firstPass;
    pid_t m_pid = -1;
};

double milliseconds(SteadyClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// One start to fill the caches, then `runs` timed ones; the median is the figure.
int measureStartup(int runs, const std::string& front, const std::string& program)
{
    std::vector<double> times;
    for (int run = 0; run <= runs; ++run) {
        Korvalen korvalen(program, front);
        const auto time = korvalen.start();
        if (!time)
            return 1;
        if (run > 0)
            times.push_back(milliseconds(*time));
    }
    printMedianFigure("start-up to the first enforcement pass, warm (median of " +
                          std::to_string(runs) + ")",
                      std::move(times), "under 300 ms");
    return 0;
}

int measureIdle(int seconds, const std::string& front, const std::string& description,
                const std::string& program)
{
    Korvalen korvalen(program, front);
    if (!korvalen.start())
        return 1;
    std::this_thread::sleep_for(settling);
    ProcessUsage before;
    ProcessUsage after;
    const auto from = SteadyClock::now();
    const bool read = readProcessUsage(korvalen.pid(), before);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    if (!read || !readProcessUsage(korvalen.pid(), after)) {
        std::fprintf(stderr, "korvalen ended while idle\n");
        return 1;
    }
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - from).count();
    std::string byThread;
    const long long wakeUps = wakeUpsSince(before, after, byThread);
    std::fprintf(stderr, "wake-ups by thread over %d s (%s): %s\n", seconds, description.c_str(),
                 byThread.c_str());
    printFigure("idle processor time, " + description,
                100 * (after.processorSeconds - before.processorSeconds) / elapsed, "% of one core",
                "under 0.1 %");
    printFigure("idle wake-ups, " + description, std::round(double(wakeUps) * 60 / elapsed),
                "per minute", "0: no timer");
    printFigure("resident memory after start, " + description, double(before.residentKiB) / 1024,
                "MB", "under 60 MB");
    return 0;
}

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_korvalen startup <runs> <application in front> <korvalen>\n"
                 "       bench_korvalen idle <seconds> <application in front> <description> "
                 "<korvalen>\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 4 && arguments[0] == "startup")
        return measureStartup(std::stoi(arguments[1]), arguments[2], arguments[3]);
    if (arguments.size() == 5 && arguments[0] == "idle")
        return measureIdle(std::stoi(arguments[1]), arguments[2], arguments[3], arguments[4]);
    return usage();
}
