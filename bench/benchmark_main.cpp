// korva-bench: the stage benchmarks, then, for projects of 10k, 50k and 200k
// source lines, the I/O floor and the end-to-end assembly side by side; ends
// with a summary of the ratios (time over floor, time per line).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "bench/assembly_benchmarks.h"
#include "bench/bench_projects.h"
#include "bench/stage_benchmarks.h"

namespace {

constexpr std::array<std::size_t, 3> kSizes = {10'000, 50'000, 200'000};

// The console report, and for every benchmark the shortest real time of its
// repetitions, in seconds (or their median when only aggregates are reported).
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration) {
        auto [entry, added] = shortest_.try_emplace(name, seconds);
        if (!added) entry->second = std::min(entry->second, seconds);
      } else if (run.aggregate_name == "median") {
        median_[name] = seconds;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Seconds, or a negative value when the benchmark did not run.
  double best(const std::string& name) const {
    if (const auto found = shortest_.find(name); found != shortest_.end()) return found->second;
    if (const auto found = median_.find(name); found != median_.end()) return found->second;
    return -1.0;
  }

 private:
  std::map<std::string, double> shortest_;
  std::map<std::string, double> median_;
};

void print_summary(const SummaryReporter& reporter, const korva::bench::ProjectStore& store) {
  struct Row {
    std::size_t lines;
    double floor;
    double assemble;
  };
  std::vector<Row> rows;
  for (const std::size_t lines : kSizes) {
    const double floor = reporter.best(korva::bench::floor_name(lines));
    const double assemble = reporter.best(korva::bench::assemble_name(lines));
    if (floor > 0 && assemble > 0) rows.push_back({lines, floor, assemble});
  }
  if (rows.empty()) return;
  double mean_per_line = 0;
  for (const Row& row : rows) mean_per_line += row.assemble / static_cast<double>(row.lines);
  mean_per_line /= static_cast<double>(rows.size());

  std::printf("\nSummary (real time: the shortest repetition, or the median)\n");
  std::printf("%8s %10s %10s %11s %8s %9s %9s\n", "lines", "floor ms", "asm ms", "asm/floor",
              "ns/line", "vs mean", "MB in+out");
  for (const Row& row : rows) {
    const korva::bench::BenchProject* project = store.find(row.lines);
    const double per_line = row.assemble / static_cast<double>(row.lines);
    const double megabytes =
        project == nullptr
            ? 0.0
            : static_cast<double>(project->files.source_bytes + project->object_bytes +
                                  project->listing_bytes + project->image_bytes) /
                  1e6;
    std::printf("%8zu %10.2f %10.2f %11.2f %8.0f %+8.1f%% %9.1f\n", row.lines, row.floor * 1e3,
                row.assemble * 1e3, row.assemble / row.floor, per_line * 1e9,
                (per_line / mean_per_line - 1.0) * 100.0, megabytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 64;

  const korva::bench::StageInputs stage_inputs = korva::bench::make_stage_inputs(50'000);
  korva::bench::register_stage_benchmarks(stage_inputs);
  korva::bench::ProjectStore store;
  korva::bench::register_assembly_benchmarks(store, kSizes);

  // Colours only on a terminal, so that saved reports stay plain text.
  SummaryReporter reporter(isatty(fileno(stdout)) != 0 ? benchmark::ConsoleReporter::OO_Defaults
                                                       : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_summary(reporter, store);
  benchmark::Shutdown();
  return 0;
}
