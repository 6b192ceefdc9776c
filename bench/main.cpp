// Runs every benchmark, then prints the table of the SDK's figures against
// their references. Google Benchmark's flags apply, e.g.
// --benchmark_repetitions=5 (the table then uses the medians) or
// --benchmark_filter=Response.
#include <benchmark/benchmark.h>

#include <iostream>

#include "support/Summary.hpp"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ovix::bench::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::cout.flush();
  reporter.printSummary(std::cout);
  benchmark::Shutdown();
  return 0;
}
