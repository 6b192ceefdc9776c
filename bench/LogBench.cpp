// The log switched off: an entry and a value dump against a call of an empty
// function that is not inlined.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "ovix/common/Log.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

[[gnu::noinline]] void emptyFunction(std::string_view, std::string_view) {
  asm volatile("");
}

void LogEntryOff(benchmark::State& state) {
  logging.store(false);
  for (auto _ : state) ULog("request(by:delegate:)", "START");
}

void LogDumpOff(benchmark::State& state) {
  logging.store(false);
  const std::map<std::string, std::string> fields{{"User-Agent", "OvixBench/1.0"},
                                                  {"Content-Type", "application/json"}};
  for (auto _ : state) ULogPrints(fields);
}

void EmptyCall(benchmark::State& state) {
  for (auto _ : state) emptyFunction("request(by:delegate:)", "START");
}

BENCHMARK(LogEntryOff);
BENCHMARK(LogDumpOff);
BENCHMARK(EmptyCall);

const bool kLogCompared = compare("Log entry, logging off", "LogEntryOff", "EmptyCall", 1.5) &&
                          compare("Log value dump, logging off", "LogDumpOff", "EmptyCall", 1.5);

}  // namespace
}  // namespace ovix::bench
