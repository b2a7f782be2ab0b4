#pragma once

#include <benchmark/benchmark.h>

#include <vector>

namespace bench {

// Prints as the console reporter does and hands each benchmark's representative run to take():
// its median when it runs with repetitions (the other aggregates share its label but are not
// times), else its one run. The benchmarks keep what they need for the ratios they print.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name == "median")
                take(run);
        }
    }

protected:
    virtual void take(const Run &run) = 0;
};

} // namespace bench
