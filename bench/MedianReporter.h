#pragma once
// A console reporter that also keeps each benchmark's median real time (milliseconds, as the
// benchmarks here report), so that a bench can print ratios against its baselines at the end.
// Keyed by the benchmark's name, with "/" and its arguments when it has any ("BM_Walk/5000");
// a benchmark run once has no median: its one run stands for it.

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace quorvel::bench {

class MedianReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.aggregate_name != "median" && run.repetitions != 1)
                continue;
            const std::string& args = run.run_name.args;
            medians[args.empty() ? run.run_name.function_name : run.run_name.function_name + "/" + args]
                = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace quorvel::bench
