// Memory: heap held by the inventory per ad at 10,000 ads, against the size
// of the ad's JSON. Counted with glibc's mallinfo2, so allocator overhead is
// included.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include "ovix/model/OvixAds.hpp"
#include "support/Inventory.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

constexpr std::size_t kAds = 10000;
constexpr std::size_t kMemorySlots = 10;

double heapInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// Grows the decoder's buffers and fills its spare document, which it keeps
// for later answers: memory of the decoder, not of the inventory.
void warmDecoder() {
  parsedAds(kAds, kMemorySlots);
  parsedAds(100, kMemorySlots);
}

void report(benchmark::State& state, double bytes) {
  state.counters["heap_per_ad"] = bytes / kAds;
  state.counters["json_per_ad"] = static_cast<double>(kAdBytes);
}

// The worst case: all 10,000 ads in one first load, so each is held twice
// (stored, and queued as a copy).
void MemoryFirstLoad(benchmark::State& state) {
  warmDecoder();
  double bytes = 0;
  for (auto _ : state) {
    const double before = heapInUse();
    OvixAds inventory;
    inventory.add(parsedAds(kAds, kMemorySlots));
    bytes = heapInUse() - before;
  }
  report(state, bytes);
}

// 10,000 ads loaded 100 at a time: the first load is held twice, later loads'
// records are both stored and queued as themselves.
void MemoryHundredLoads(benchmark::State& state) {
  warmDecoder();
  double bytes = 0;
  for (auto _ : state) {
    const double before = heapInUse();
    OvixAds inventory;
    for (std::size_t i = 0; i < kAds / 100; ++i) inventory.add(parsedAds(100, kMemorySlots));
    bytes = heapInUse() - before;
  }
  report(state, bytes);
}

// The reference row of the table: the JSON's size itself.
void MemoryJsonSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(kAdBytes);
  report(state, static_cast<double>(kAdBytes * kAds));
}

BENCHMARK(MemoryFirstLoad)->Iterations(3);
BENCHMARK(MemoryHundredLoads)->Iterations(3);
BENCHMARK(MemoryJsonSize)->Iterations(1);

const bool kMemoryCompared =
    compareCounter("Memory per ad at 10,000 ads, one first load", "MemoryFirstLoad",
                   "MemoryJsonSize", 3, "heap_per_ad", "B") &&
    compareCounter("Memory per ad at 10,000 ads, 100 loads", "MemoryHundredLoads", "MemoryJsonSize",
                   3, "heap_per_ad", "B");

}  // namespace
}  // namespace ovix::bench
