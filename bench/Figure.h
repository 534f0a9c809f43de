#pragma once

#include <string_view>
#include <vector>

namespace korvalen::bench {

// Prints one measured figure as a line of its own,
//   "<name>: <value> <unit> (target <target>) on <N> cores",
// the form every benchmark prints, so that bench/run-all.sh reads alike throughout and a figure
// is never quoted without the machine it was taken on.
void printFigure(std::string_view name, double value, std::string_view unit,
                 std::string_view target);

// The median of times taken in milliseconds as the figure, and their spread on standard error.
void printMedianFigure(std::string_view name, std::vector<double> milliseconds,
                       std::string_view target);

// The processors this process may run on, as nproc counts them: a figure taken while other
// programs compete for two cores is not one taken on sixteen.
int coreCount();

} // namespace korvalen::bench
