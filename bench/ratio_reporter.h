// Benchmarks here print ratios against a baseline measured in the same run, because absolute times
// on shared machines mean little. Register a benchmark and its baseline, then call RunWithRatios.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace morvane::bench {

// Records each run's real time per iteration while printing the usual console table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    auto found = seconds_.find(name);
    return found == seconds_.end() ? -1 : found->second;
  }

 private:
  std::map<std::string, double> seconds_;
};

struct Ratio {
  std::string measured;  // benchmark name as printed
  std::string baseline;
  double aim;  // the ratio we aim to stay under; 0 when there is none
};

// Runs every registered benchmark, then prints one line per ratio: measured / baseline.
inline int RunWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n%-44s %-36s %8s %6s\n", "measured", "baseline", "ratio", "aim");
  for (const Ratio& r : ratios) {
    const double a = reporter.Time(r.measured), b = reporter.Time(r.baseline);
    if (a < 0 || b <= 0) continue;
    char aim[16] = "-";
    if (r.aim > 0) std::snprintf(aim, sizeof aim, "%.1f", r.aim);
    std::printf("%-44s %-36s %8.2f %6s%s\n", r.measured.c_str(), r.baseline.c_str(), a / b, aim,
                r.aim > 0 && a / b > r.aim ? "  (over)" : "");
  }
  benchmark::Shutdown();
  return 0;
}

}  // namespace morvane::bench
