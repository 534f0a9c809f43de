#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <string>

namespace korvalen::bench {

// A Google Benchmark whose figure is the median of its repetitions, printed with printFigure():
// one run of a benchmark on a shared machine can catch another program's burst, the median of
// several rarely does.
benchmark::internal::Benchmark* addFigure(const std::string& name, const std::string& target,
                                          std::function<void(benchmark::State&)> body);

// Runs the benchmarks added so far (the usual --benchmark_* options apply) and prints their
// figures; non-zero when an option is unknown or a benchmark reported an error.
int runFigures(int argc, char* argv[]);

} // namespace korvalen::bench
