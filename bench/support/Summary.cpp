#include "support/Summary.hpp"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <thread>

namespace ovix::bench {
namespace {

std::vector<Comparison>& comparisons() {
  static std::vector<Comparison> all;
  return all;
}

double nanoseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kSecond:
      return value * 1e9;
    case benchmark::kMillisecond:
      return value * 1e6;
    case benchmark::kMicrosecond:
      return value * 1e3;
    case benchmark::kNanosecond:
      return value;
  }
  return value;
}

std::optional<double> figure(const benchmark::BenchmarkReporter::Run& run,
                             const Comparison& comparison) {
  switch (comparison.measure) {
    case Measure::kCpuTime:
      return nanoseconds(run.GetAdjustedCPUTime(), run.time_unit);
    case Measure::kRealTime:
      return nanoseconds(run.GetAdjustedRealTime(), run.time_unit);
    case Measure::kCounter: {
      const auto found = run.counters.find(comparison.counter);
      if (found == run.counters.end()) return std::nullopt;
      return found->second.value;
    }
  }
  return std::nullopt;
}

// The figures of a benchmark's repetitions, sorted.
std::vector<double> figures(const std::vector<benchmark::BenchmarkReporter::Run>& runs,
                            const Comparison& comparison) {
  std::vector<double> values;
  for (const auto& run : runs) {
    if (auto value = figure(run, comparison)) values.push_back(*value);
  }
  std::sort(values.begin(), values.end());
  return values;
}

double median(const std::vector<double>& sorted) {
  const std::size_t middle = sorted.size() / 2;
  return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

std::string format(double value, const Comparison& comparison) {
  char text[64];
  if (comparison.measure == Measure::kCounter) {
    std::snprintf(text, sizeof text, "%.0f %s", value, comparison.unit.c_str());
  } else if (value >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f ms", value / 1e6);
  } else if (value >= 1e3) {
    std::snprintf(text, sizeof text, "%.2f µs", value / 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.2f ns", value);
  }
  return text;
}

std::string cpuModel() {
  std::ifstream info("/proc/cpuinfo");
  std::string line;
  while (std::getline(info, line)) {
    if (line.rfind("model name", 0) == 0) {
      const auto colon = line.find(':');
      if (colon != std::string::npos) return line.substr(colon + 2);
    }
  }
  return "unknown CPU";
}

}  // namespace

bool compare(std::string title, std::string sdk, std::string reference, double target,
             Measure measure) {
  comparisons().push_back(
      Comparison{std::move(title), std::move(sdk), std::move(reference), target, measure, "", ""});
  return true;
}

bool compareCounter(std::string title, std::string sdk, std::string reference, double target,
                    std::string counter, std::string unit) {
  comparisons().push_back(Comparison{std::move(title), std::move(sdk), std::move(reference), target,
                                     Measure::kCounter, std::move(counter), std::move(unit)});
  return true;
}

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
    repetitions_[run.run_name.function_name].push_back(run);
  }
  ConsoleReporter::ReportRuns(runs);
}

std::vector<SummaryReporter::Row> SummaryReporter::rows() const {
  std::vector<Row> rows;
  for (const Comparison& comparison : comparisons()) {
    const auto sdk = repetitions_.find(comparison.sdk);
    const auto reference = repetitions_.find(comparison.reference);
    if (sdk == repetitions_.end() || reference == repetitions_.end()) continue;
    const auto a = figures(sdk->second, comparison);
    const auto b = figures(reference->second, comparison);
    if (a.empty() || b.empty() || median(b) <= 0) continue;
    const double middle = median(a);
    const double spread = middle > 0 ? (a.back() - a.front()) / 2 / middle : 0;
    rows.push_back(Row{&comparison, middle, median(b), spread});
  }
  return rows;
}

void printTable(std::ostream& out, const std::vector<std::vector<SummaryReporter::Row>>& runs,
                int repetitions) {
  if (runs.empty()) return;
  out << "Machine: " << std::thread::hardware_concurrency() << " CPUs (nproc), " << cpuModel()
      << ". Medians of " << repetitions << " repetitions; ± is half the range of the SDK's.\n\n";
  out << "| Benchmark | SDK | Reference | Ratio | Target | Ratios of the " << runs.size()
      << " runs | Met in all |\n";
  out << "|---|---|---|---|---|---|---|\n";
  for (const auto& row : runs.back()) {
    const Comparison& comparison = *row.comparison;
    std::string ratios;
    bool metInAll = true;
    for (const auto& run : runs) {
      const auto same = std::find_if(run.begin(), run.end(),
                                     [&](const auto& r) { return r.comparison == row.comparison; });
      char text[32] = "—";
      if (same != run.end()) std::snprintf(text, sizeof text, "%.2f×", same->ratio());
      metInAll = metInAll && same != run.end() && same->met();
      ratios += (ratios.empty() ? "" : ", ") + std::string(text);
    }
    const bool hasTarget = comparison.target > 0;
    char ratio[32];
    char target[32] = "—";
    char spread[32];
    std::snprintf(ratio, sizeof ratio, "%.2f×", row.ratio());
    if (hasTarget) std::snprintf(target, sizeof target, "≤ %.2f×", comparison.target);
    std::snprintf(spread, sizeof spread, " ±%.0f%%", row.spread * 100);
    out << "| " << comparison.title << " | " << format(row.sdk, comparison) << spread << " | "
        << format(row.reference, comparison) << " | " << ratio << " | " << target << " | " << ratios
        << " | " << (hasTarget ? (metInAll ? "yes" : "no") : "—") << " |\n";
  }
}

}  // namespace ovix::bench
