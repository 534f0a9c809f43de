#pragma once

#include <chrono>
#include <string>

namespace korvalen::bench {

// Waits for a line to be appended to the enforcement log. Every Korvalen of the user writes into
// the same file, so a line is recognised by a text only the awaited one holds, such as the
// application in front of a display of the benchmark's own. Only what is written after the watch
// began counts.
class EnforcementLogWatch {
public:
    explicit EnforcementLogWatch(std::string path);
    ~EnforcementLogWatch();
    EnforcementLogWatch(const EnforcementLogWatch&) = delete;
    EnforcementLogWatch& operator=(const EnforcementLogWatch&) = delete;

    // Whether a line holding `text` came before the deadline. Returns as the line is written,
    // without polling: the moment is the measurement.
    bool waitForLine(const std::string& text, std::chrono::steady_clock::time_point deadline);

private:
    bool readNewLines(const std::string& text);

    std::string m_path;
    int m_inotify = -1;
    long long m_offset = 0;
    std::string m_partialLine;
};

} // namespace korvalen::bench
