#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

// The table printed after the benchmarks: each comparison sets the SDK's
// figure against its reference measured in the same run.
namespace ovix::bench {

enum class Measure {
  kCpuTime,   // CPU time of the benchmark thread per iteration
  kRealTime,  // wall-clock (or manual) time per iteration
  kCounter,   // a user counter of the benchmark
};

struct Comparison {
  std::string title;
  std::string sdk;  // benchmark names
  std::string reference;
  double target;  // the highest acceptable sdk / reference; 0 for none
  Measure measure = Measure::kCpuTime;
  std::string counter;  // for Measure::kCounter
  std::string unit;     // for Measure::kCounter, shown after the figures
};

// Adds a row to the table, comparing times or a user counter of the two
// benchmarks; call during static initialisation. Return true.
bool compare(std::string title, std::string sdk, std::string reference, double target,
             Measure measure = Measure::kCpuTime);
bool compareCounter(std::string title, std::string sdk, std::string reference, double target,
                    std::string counter, std::string unit);

// The console reporter, keeping each benchmark's repetitions for the table.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // One row per comparison that ran: the medians of the repetitions, their
  // ratio, and how far the SDK's repetitions spread around their median.
  struct Row {
    const Comparison* comparison;
    double sdk;
    double reference;
    double spread;  // half the range of the SDK's repetitions, over their median
    double ratio() const { return sdk / reference; }
    bool met() const { return comparison->target <= 0 || ratio() <= comparison->target; }
  };
  std::vector<Row> rows() const;

 private:
  std::map<std::string, std::vector<Run>> repetitions_;  // by benchmark name
};

// The table of the last run as Markdown, with the ratio of each comparison in
// every run, and whether its target held in all of them.
void printTable(std::ostream& out, const std::vector<std::vector<SummaryReporter::Row>>& runs,
                int repetitions);

}  // namespace ovix::bench
