// The main thread's operations with 10 ads and with 10,000 ads loaded over 10
// slots: each must cost about the same at either size. Ads for impressions
// and binding carry no image or beacon URL, so that the background work they
// start ends at once and sends nothing; the main thread's part is the same.
#include <benchmark/benchmark.h>

#include <string>

#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/model/OvixAds.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "support/Inventory.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

constexpr std::size_t kMainThreadSlots = 10;
constexpr std::size_t kFew = 10;
constexpr std::size_t kManyAds = 10000;
// Cells made ahead, with the clock stopped, for operations that use a cell once.
constexpr std::size_t kCellBatch = 1000;
// Cells shown for the first time together, as in one frame of a feed; the
// background work of one frame ends before the next starts.
constexpr std::size_t kFrame = kFew;
constexpr const char* kWillDisplay = "tableView(_:willDisplay:forRowAt:)";

OvixManager& manager() {
  return OvixManager::shared();
}

std::shared_ptr<ui::TableViewCell> newCell() {
  return ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
}

std::shared_ptr<ui::TableViewCell> boundCell(const std::shared_ptr<OvixAdInfo>& ad) {
  auto cell = newCell();
  manager().setInfeed(cell, ad, 80, Size{60, 40});
  return cell;
}

void HasNextAd(benchmark::State& state, std::size_t ads) {
  loadShared(parsedAds(ads, kMainThreadSlots));
  const auto slots = slotIds(kMainThreadSlots);
  std::size_t next = 0;
  for (auto _ : state) {
    auto ad = manager().hasNextAd(slots[next++ % kMainThreadSlots]);
    benchmark::DoNotOptimize(ad.get());
  }
  manager().clearAd();
}

// A cell whose ad's impression was sent is displayed again.
void ImpressionAlreadySent(benchmark::State& state, std::size_t ads) {
  loadShared(parsedAds(ads, kMainThreadSlots, Urls::kNone));
  const auto loaded = *manager().ovixAds()->ads();
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  for (std::size_t i = 0; i < kMainThreadSlots; ++i) {
    cells.push_back(boundCell(loaded[i * loaded.size() / kMainThreadSlots]));
    manager().tryImpression(cells.back(), kWillDisplay);
  }
  settle();
  std::size_t next = 0;
  for (auto _ : state) manager().tryImpression(cells[next++ % cells.size()], kWillDisplay);
  settle();
  manager().clearAd();
}

// A cell is displayed for the first time: its ad is claimed and its beacons
// are handed to a worker. Frames of kFrame cells at either size, each
// starting with the workers idle; once every ad is impressed the inventory is
// loaded again. What is not the displays runs with the clock stopped.
void ImpressionFirstDisplay(benchmark::State& state, std::size_t ads) {
  const auto records = parsedAds(ads, kMainThreadSlots, Urls::kNone);
  Records loaded;
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  std::size_t impressed = ads;
  std::size_t next = 0;
  for (auto _ : state) {
    if (next == cells.size()) {
      state.PauseTiming();
      if (impressed == ads) {
        settle();
        loadShared(records);
        loaded = *manager().ovixAds()->ads();
        impressed = 0;
      }
      cells.clear();
      for (std::size_t i = 0; i < kFrame; ++i) cells.push_back(boundCell(loaded[impressed + i]));
      impressed += cells.size();
      settle();
      next = 0;
      state.ResumeTiming();
    }
    manager().tryImpression(cells[next++], kWillDisplay);
  }
  settle();
  manager().clearAd();
}

// The default binding of an ad into a fresh plain cell.
void DefaultBinding(benchmark::State& state, std::size_t ads) {
  loadShared(parsedAds(ads, kMainThreadSlots, Urls::kNone));
  const auto loaded = *manager().ovixAds()->ads();
  std::vector<std::shared_ptr<ui::TableViewCell>> cells;
  std::size_t next = 0;
  std::size_t bound = 0;
  for (auto _ : state) {
    if (next == cells.size()) {
      state.PauseTiming();
      cells.clear();
      settle();
      for (std::size_t i = 0; i < kCellBatch; ++i) cells.push_back(newCell());
      next = 0;
      state.ResumeTiming();
    }
    manager().setInfeed(cells[next++], loaded[bound++ % loaded.size()], 80, Size{60, 40});
  }
  cells.clear();
  settle();
  manager().clearAd();
}

void registerPair(const char* name, void (*function)(benchmark::State&, std::size_t)) {
  const std::string few = std::string(name) + "_10";
  const std::string many = std::string(name) + "_10000";
  benchmark::RegisterBenchmark(few.c_str(), function, kFew);
  benchmark::RegisterBenchmark(many.c_str(), function, kManyAds);
  compare(std::string(name) + ", 10,000 ads vs 10", many, few, 2);
}

const bool kMainThreadRegistered = [] {
  registerPair("HasNextAd", HasNextAd);
  registerPair("TryImpressionAlreadySent", ImpressionAlreadySent);
  registerPair("TryImpressionFirstDisplay", ImpressionFirstDisplay);
  registerPair("DefaultBinding", DefaultBinding);
  return true;
}();

}  // namespace
}  // namespace ovix::bench
