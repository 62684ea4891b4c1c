// Console output as usual, plus the time per iteration of every run, so that a
// benchmark program can print ratios against a reference measured in the same
// run. Shared by the programs in bench/.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // cpuTime: use CPU time rather than wall time (steadier on a shared machine).
    explicit RatioReporter(bool cpuTime = false) : cpuTime_(cpuTime) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                const double seconds = cpuTime_ ? run.cpu_accumulated_time : run.real_accumulated_time;
                nanoseconds_[run.benchmark_name()] = seconds * 1e9 / static_cast<double>(run.iterations);
            }
        }
    }

    // Nanoseconds per iteration of a benchmark, or 0 when it did not run.
    double nanoseconds(const std::string& name) const {
        const auto it = nanoseconds_.find(name);
        return it == nanoseconds_.end() ? 0.0 : it->second;
    }

    // Prints "name / reference = ratio" when both ran.
    void printRatio(const char* name, const char* reference) const {
        const double a = nanoseconds(name);
        const double b = nanoseconds(reference);
        if (a > 0 && b > 0) {
            std::printf("%-28s %10.1f ns / %-26s %10.1f ns = %.2fx\n", name, a, reference, b, a / b);
        }
    }

private:
    bool cpuTime_;
    std::map<std::string, double> nanoseconds_;
};

// Runs the benchmarks selected on the command line through reporter.
inline bool runBenchmarks(int argc, char** argv, RatioReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}
