#include "Figure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sched.h>
#include <thread>

namespace korvalen::bench {

namespace {

// Three significant digits or so, without an exponent: "0.0123", "1.23", "12.3", "1234"; whole
// numbers, counts among them, as they are.
int decimalsFor(double value)
{
    if (value == std::floor(value))
        return 0;
    return value >= 100 ? 0 : value >= 10 ? 1 : value >= 1 ? 2 : 3;
}

} // namespace

void printFigure(std::string_view name, double value, std::string_view unit,
                 std::string_view target)
{
    std::printf("%.*s: %.*f %.*s (target %.*s) on %d cores\n", int(name.size()), name.data(),
                decimalsFor(value), value, int(unit.size()), unit.data(), int(target.size()),
                target.data(), coreCount());
    // The lines are read as they come by whoever runs the whole set.
    std::fflush(stdout);
}

void printMedianFigure(std::string_view name, std::vector<double> milliseconds,
                       std::string_view target)
{
    std::sort(milliseconds.begin(), milliseconds.end());
    std::fprintf(stderr, "%.*s: fastest %.2f ms, slowest %.2f ms (%zu rounds)\n", int(name.size()),
                 name.data(), milliseconds.front(), milliseconds.back(), milliseconds.size());
    printFigure(name, milliseconds[milliseconds.size() / 2], "ms", target);
}

int coreCount()
{
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0)
        return CPU_COUNT(&allowed);
    return int(std::thread::hardware_concurrency());
}

} // namespace korvalen::bench
