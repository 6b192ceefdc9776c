// Runs every benchmark, then prints the table of the SDK's figures against
// their references. Besides Google Benchmark's flags (e.g.
// --benchmark_repetitions=5, whose medians the table shows, or
// --benchmark_filter=Response):
//   --runs=N         runs the whole set N times; a target counts as met only
//                    when it held in every run
//   --readme=FILE    writes the last run's table into FILE between the lines
//                    "<!-- bench:begin -->" and "<!-- bench:end -->" (only for
//                    a run of every benchmark)
#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/Summary.hpp"

namespace {

// Removes --name=value from the arguments; returns the value, or "".
std::string takeFlag(int& argc, char** argv, std::string_view name) {
  const std::string prefix = "--" + std::string(name) + "=";
  std::string value;
  int kept = 0;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (i > 0 && argument.starts_with(prefix)) {
      value = argument.substr(prefix.size());
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return value;
}

bool hasFlag(int argc, char** argv, std::string_view prefix) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with(prefix)) return true;
  }
  return false;
}

bool writeIntoReadme(const std::string& path, const std::string& table) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string readme = text.str();
  const std::string begin = "<!-- bench:begin -->\n";
  const std::string end = "<!-- bench:end -->";
  const auto from = readme.find(begin);
  const auto to = readme.find(end);
  if (!in || from == std::string::npos || to == std::string::npos || to < from) return false;
  readme.replace(from + begin.size(), to - from - begin.size(), table);
  std::ofstream out(path, std::ios::trunc);
  out << readme;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string runsText = takeFlag(argc, argv, "runs");
  const std::string readme = takeFlag(argc, argv, "readme");
  const int runs = runsText.empty() ? 1 : std::max(1, std::stoi(runsText));
  const bool filtered = hasFlag(argc, argv, "--benchmark_filter=");
  std::string repetitions = "1";
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.starts_with("--benchmark_repetitions=")) repetitions = argument.substr(24);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  std::vector<std::vector<ovix::bench::SummaryReporter::Row>> results;
  for (int run = 1; run <= runs; ++run) {
    std::cout << "\nRun " << run << " of " << runs << "\n";
    ovix::bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    results.push_back(reporter.rows());
  }
  std::ostringstream table;
  ovix::bench::printTable(table, results, std::stoi(repetitions));
  std::cout.flush();
  std::cout << "\n" << table.str();
  if (!readme.empty() && !filtered) {
    if (writeIntoReadme(readme, table.str())) {
      std::cout << "\nThe table is in " << readme << ".\n";
    } else {
      std::cerr << "could not write the table into " << readme << "\n";
    }
  }
  benchmark::Shutdown();
  return 0;
}
