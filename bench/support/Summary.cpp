#include "support/Summary.hpp"

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
    if (run.error_occurred) continue;
    const std::string name = run.run_name.function_name;
    if (run.run_type == Run::RT_Aggregate) {
      if (run.aggregate_name == "median") results_[name] = run;
    } else if (!results_.contains(name) || results_[name].run_type != Run::RT_Aggregate) {
      results_[name] = run;
    }
  }
  ConsoleReporter::ReportRuns(runs);
}

bool SummaryReporter::printSummary(std::ostream& out) const {
  out << "\nMachine: " << std::thread::hardware_concurrency() << " CPUs (nproc), " << cpuModel()
      << "\n\n";
  out << "| Benchmark | SDK | Reference | Ratio | Target | Met? |\n";
  out << "|---|---|---|---|---|---|\n";
  bool allMet = true;
  for (const Comparison& comparison : comparisons()) {
    const auto sdk = results_.find(comparison.sdk);
    const auto reference = results_.find(comparison.reference);
    if (sdk == results_.end() || reference == results_.end()) continue;
    const auto a = figure(sdk->second, comparison);
    const auto b = figure(reference->second, comparison);
    if (!a || !b || *b <= 0) continue;
    const double ratio = *a / *b;
    const bool hasTarget = comparison.target > 0;
    const bool met = !hasTarget || ratio <= comparison.target;
    allMet = allMet && met;
    char ratioText[32];
    char targetText[32] = "—";
    std::snprintf(ratioText, sizeof ratioText, "%.2f×", ratio);
    if (hasTarget) std::snprintf(targetText, sizeof targetText, "≤ %.2f×", comparison.target);
    out << "| " << comparison.title << " | " << format(*a, comparison) << " | "
        << format(*b, comparison) << " | " << ratioText << " | " << targetText << " | "
        << (hasTarget ? (met ? "yes" : "no") : "—") << " |\n";
  }
  return allMet;
}

}  // namespace ovix::bench
