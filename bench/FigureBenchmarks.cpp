#include "FigureBenchmarks.h"

#include "Figure.h"

#include <cstdio>
#include <vector>

namespace korvalen::bench {

namespace {

constexpr int repetitions = 5;

struct Figure {
    std::string name;
    std::string target;
};

// In the order added, which is the benchmarks' family order.
std::vector<Figure>& figures()
{
    static std::vector<Figure> added;
    return added;
}

const char* unitName(benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kNanosecond:
        return "ns";
    case benchmark::kMicrosecond:
        return "µs";
    case benchmark::kMillisecond:
        return "ms";
    case benchmark::kSecond:
        return "s";
    }
    return "?";
}

class FigureReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s: %s\n", run.benchmark_name().c_str(),
                             run.error_message.c_str());
                m_failed = true;
                continue;
            }
            const bool isFigure = run.repetitions > 1 ? run.aggregate_name == "median"
                                                      : run.run_type == Run::RT_Iteration;
            if (!isFigure)
                continue;
            const Figure& figure = figures().at(std::size_t(run.family_index));
            printFigure(figure.name, run.GetAdjustedRealTime(), unitName(run.time_unit),
                        figure.target);
        }
    }

    bool failed() const { return m_failed; }

private:
    bool m_failed = false;
};

} // namespace

benchmark::internal::Benchmark* addFigure(const std::string& name, const std::string& target,
                                          std::function<void(benchmark::State&)> body)
{
    figures().push_back({name, target});
    return benchmark::RegisterBenchmark(name.c_str(), std::move(body))
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true)
        ->Unit(benchmark::kMicrosecond);
}

int runFigures(int argc, char* argv[])
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed() ? 1 : 0;
}

} // namespace korvalen::bench
