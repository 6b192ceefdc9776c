#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// The store of loaded ads and their rotation per slot, and the uuids of ads
// whose impression was sent. Every operation runs whole under one lock, so
// loads may add from background threads while the main thread takes ads.
//
// Indexed by slot and by uuid: add (per record), hasNextAd and
// claimImpression cost the same however many ads are loaded. A refill makes
// its copies one at a time, as hasNextAd hands them out. A record's slot and
// uuid are read once, when it is added.
class OvixAds {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;
  using List = std::vector<Record>;

  OvixAds() = default;
  OvixAds(const OvixAds&) = delete;
  OvixAds& operator=(const OvixAds&) = delete;

  // Adds a batch. The first batch (since creation or clear) is stored as copies
  // and queued as copies of those; a later batch's records are stored and
  // queued as themselves. Absent or empty lists, and null records, are ignored.
  // Any thread.
  void add(const std::optional<List>& list);

  // The next record of slot `infeedId`, or null when the slot has none. Refills
  // the slot with fresh copies, in load order, in the call that takes its last
  // queued record. Any thread; the main thread in the SDK.
  Record hasNextAd(const std::string& infeedId);

  // Forgets every ad and every sent impression. Any thread.
  void clear();

  // If ads are loaded, `uuid` is not yet impressed and an ad with it is loaded:
  // records `uuid` as impressed and returns the first such ad loaded. One step,
  // so two callers never both get the ad. Any thread.
  Record claimImpression(const std::string& uuid);

  // Records `uuid` as impressed. Any thread.
  void appendImpressed(std::string uuid);

  // Snapshots, for inspection: every record in load order, the rotation of
  // all slots in the order queued, and the impressed uuids in the order
  // recorded. Cost grows with the inventory; adsMirror makes the copies of
  // refills not yet handed out. Any thread.
  std::optional<List> ads() const;
  std::optional<List> adsMirror();
  std::vector<std::string> impressed() const;

 private:
  // A record waiting in its slot's rotation; `order` places it among the
  // records of every slot.
  struct Queued {
    std::uint64_t order;
    Record record;
  };
  // The first record loaded with a uuid, and the values its key points into,
  // held so the key lives even when the record is changed.
  struct First {
    std::shared_ptr<const OvixAdInfo::Fields> values;
    Record record;
  };
  // A slot's records in load order and its rotation, next first: copies of
  // stored[refillNext, refillEnd), made as they are handed out and placed
  // from refillOrder on, then `queued`.
  struct Slot {
    List stored;
    std::size_t refillNext = 0;
    std::size_t refillEnd = 0;
    std::uint64_t refillOrder = 0;
    std::deque<Queued> queued;
  };

  // All require mutex_.
  void store(Record stored, Record queued);
  void enqueue(Slot& slot, Record record);
  void restore(Slot& slot);
  // Turns the slot's refill into queued copies.
  void materialize(Slot& slot);

  mutable std::mutex mutex_;
  std::optional<List> ads_;                                    // guarded by mutex_
  std::unordered_map<std::string, Slot> slots_;                // guarded by mutex_
  std::unordered_map<std::string_view, First> firstWithUuid_;  // guarded by mutex_
  std::uint64_t nextOrder_ = 0;                                // guarded by mutex_
  std::vector<std::string> impressed_;                         // guarded by mutex_
  std::unordered_set<std::string> impressedSet_;               // guarded by mutex_
};

}  // namespace ovix
