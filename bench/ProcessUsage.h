#pragma once

#include <sys/types.h>

#include <map>
#include <string>

namespace korvalen::bench {

// What a running process has used so far, read from /proc.
struct ProcessUsage {
    // Processor time of all its threads, user and system (utime + stime of /proc/<pid>/stat).
    double processorSeconds = 0;
    struct Thread {
        std::string name;
        // How often it went to sleep, and so had to be woken again (voluntary_ctxt_switches of
        // /proc/<pid>/task/<tid>/status).
        long long sleeps = 0;
    };
    std::map<pid_t, Thread> threads;
    // Resident memory (VmRSS of /proc/<pid>/status).
    long long residentKiB = 0;
};

// The wake-ups of each thread since `before`, "name count; …", and their total. A thread that
// ended in between is named with "ended": what it did is lost with it.
long long wakeUpsSince(const ProcessUsage& before, const ProcessUsage& after,
                       std::string& byThread);

// None when the process is gone.
bool readProcessUsage(pid_t pid, ProcessUsage& usage);

} // namespace korvalen::bench
