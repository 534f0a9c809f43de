#include "ProcessUsage.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace korvalen::bench {

namespace {

// The value of "<key>:" in a /proc status file; -1 when it has none.
long long statusValue(const std::filesystem::path& status, const std::string& key)
{
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size() + 1, key + ':') == 0)
            return std::stoll(line.substr(key.size() + 1));
    }
    return -1;
}

std::string threadName(const std::filesystem::path& task)
{
    std::ifstream in(task / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

// utime and stime, fields 14 and 15 of /proc/<pid>/stat, counted after the command name, which
// is in parentheses and may hold spaces.
bool readProcessorSeconds(const std::filesystem::path& process, double& seconds)
{
    std::ifstream in(process / "stat");
    std::string stat;
    if (!std::getline(in, stat))
        return false;
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return false;
    std::istringstream fields(stat.substr(nameEnd + 2));
    std::string field;
    for (int i = 3; i < 14; ++i)
        fields >> field;
    long long utime = 0;
    long long stime = 0;
    if (!(fields >> utime >> stime))
        return false;
    seconds = double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
    return true;
}

} // namespace

long long wakeUpsSince(const ProcessUsage& before, const ProcessUsage& after, std::string& byThread)
{
    long long total = 0;
    for (const auto& [tid, thread] : after.threads) {
        const auto earlier = before.threads.find(tid);
        const long long wakeUps =
            thread.sleeps - (earlier == before.threads.end() ? 0 : earlier->second.sleeps);
        byThread += thread.name + ' ' + std::to_string(wakeUps) + "; ";
        total += wakeUps;
    }
    for (const auto& [tid, thread] : before.threads) {
        if (!after.threads.contains(tid))
            byThread += thread.name + " ended; ";
    }
    return total;
}

bool readProcessUsage(pid_t pid, ProcessUsage& usage)
{
    const std::filesystem::path process = "/proc/" + std::to_string(pid);
    usage = {};
    if (!readProcessorSeconds(process, usage.processorSeconds))
        return false;
    usage.residentKiB = statusValue(process / "status", "VmRSS");
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(process / "task", error)) {
        const long long sleeps = statusValue(task.path() / "status", "voluntary_ctxt_switches");
        if (sleeps >= 0)
            usage.threads[pid_t(std::stol(task.path().filename()))] = {threadName(task.path()),
                                                                       sleeps};
    }
    return !error;
}

} // namespace korvalen::bench
