#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ovix/OvixAdInfo.hpp"
#include "ovix/model/UuidIndex.hpp"

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
  // and queued as copies of those, each made as hasNextAd hands it out; a
  // later batch's records are stored and queued as themselves. Absent or
  // empty lists, and null records, are ignored. Any thread.
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
  // A record waiting in its slot's rotation: ads_[index], or a copy of it
  // made as it is handed out (a first batch's), unless `made` holds one made
  // ahead. `order` places it among the records of every slot. Indices rather
  // than references: storing a record counts no reference on any thread's
  // cache line.
  struct Queued {
    std::uint64_t order;
    std::size_t index;
    bool copy = false;
    Record made;
  };
  // Looks slots up by view as well as by string.
  struct SlotHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view id) const { return std::hash<std::string_view>()(id); }
  };
  // A slot's records (places in ads_) in load order and its rotation, next
  // first: copies of the records of stored[refillNext, refillEnd), made as
  // they are handed out and placed from refillOrder on, then `queued`.
  struct Slot {
    std::vector<std::size_t> stored;
    std::size_t refillNext = 0;
    std::size_t refillEnd = 0;
    std::uint64_t refillOrder = 0;
    std::deque<Queued> queued;
  };

  // All require mutex_.
  // Stores `record` under the slot and uuid of `values`, one snapshot of it
  // (the host may change the record meanwhile), and queues it, or a copy
  // made when it is handed out.
  void store(Record record, std::shared_ptr<const OvixAdInfo::Values> values, bool queueCopy);
  // The slot of that id, made when new. The last one found is kept, as a
  // batch comes slot by slot.
  Slot& slot(std::string_view infeedId);
  void restore(Slot& slot);
  // Makes the copies the slot's rotation would make as it hands them out.
  void materialize(Slot& slot);

  mutable std::mutex mutex_;
  std::optional<List> ads_;                                                 // guarded by mutex_
  std::unordered_map<std::string, Slot, SlotHash, std::equal_to<>> slots_;  // guarded by mutex_
  std::pair<std::string_view, Slot*> lastSlot_;                             // guarded by mutex_
  // The first record stored with each uuid, as its place in ads_.
  UuidIndex firstWithUuid_;      // guarded by mutex_
  std::uint64_t nextOrder_ = 0;  // guarded by mutex_
  // Views of the uuids of firstWithUuid_ and appended_, which live as long:
  // a claim on the main thread copies no string.
  std::vector<std::string_view> impressed_;  // guarded by mutex_
  // The uuids appendImpressed recorded; claims are marked in firstWithUuid_.
  std::unordered_set<std::string> appended_;  // guarded by mutex_
};

}  // namespace ovix
