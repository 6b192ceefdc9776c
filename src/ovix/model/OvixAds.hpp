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
#include "platform/clock/Clock.hpp"

namespace ovix {

// The store of loaded ads and their rotation per slot, and the uuids of ads
// whose impression was sent. Every operation runs whole under one lock, so
// loads may add from background threads while the main thread takes ads.
//
// Indexed by slot and by uuid: add (per record), hasNextAd, claimImpression
// and each record's leaving cost the same however many ads are loaded. A
// refill makes its copies one at a time, as hasNextAd hands them out. A
// record's slot and uuid are read once, when it is added.
//
// With a lifetime set, records older than it leave at the next call that
// finds them; with a cap per slot, a slot's oldest records leave when an add
// brings more. A record that leaves takes its slot's place in the rotation,
// and the record of its impression when it was the last with its uuid.
class OvixAds {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;
  using List = std::vector<Record>;
  // Hears the uuids of records that left by lifetime or cap, in the order
  // they left, on the thread of the call that found them, with no lock held.
  using LeaveHandler = std::function<void(std::vector<std::string> uuids)>;

  explicit OvixAds(LeaveHandler onLeave = {});
  OvixAds(const OvixAds&) = delete;
  OvixAds& operator=(const OvixAds&) = delete;

  // Adds a batch that arrived at `arrived`. The first batch (since creation
  // or clear) is stored as copies and queued as copies of those, each made as
  // hasNextAd hands it out; a later batch's records are stored and queued as
  // themselves. Absent or empty lists, and null records, are ignored. A batch
  // counts as arriving no earlier than the one stored before it, so that
  // records leave in the order they were stored. Any thread.
  void add(const std::optional<List>& list, clock::TimePoint arrived = clock::now());

  // The next record of slot `infeedId`, or null when the slot has none. Refills
  // the slot with fresh copies, in load order, in the call that takes its last
  // queued record. Any thread; the main thread in the SDK.
  Record hasNextAd(const std::string& infeedId);

  // Forgets every ad and every sent impression; the lifetime and the cap
  // stay. The next batch may count as arriving at any time. Any thread.
  void clear();

  // If ads are loaded, `uuid` is not yet impressed and an ad with it is loaded:
  // records `uuid` as impressed, and as viewed too when `viewed`, and returns
  // the first such ad loaded. One step, so two callers never both get the ad.
  // Any thread.
  Record claimImpression(const std::string& uuid, bool viewed = true);

  // Whether an ad with `uuid` is loaded, impressed and not yet viewed. Any
  // thread.
  bool awaitsViewable(const std::string& uuid);
  // If so, records `uuid` as viewed and returns the first such ad loaded. One
  // step, so two callers never both get the ad. Any thread.
  Record claimViewable(const std::string& uuid);

  // Records `uuid` as impressed, until clear. Any thread.
  void appendImpressed(std::string uuid);

  // How long records stay, counted from when they arrived; zero keeps them
  // until clear. Records already older leave now. Any thread.
  void setTimeToLive(clock::Duration timeToLive);
  clock::Duration timeToLive() const;
  // The most records a slot keeps, its newest; 0 for no cap. Slots holding
  // more lose their oldest now. Any thread.
  void setMaximumPerSlot(std::size_t maximum);
  std::size_t maximumPerSlot() const;

  // Snapshots, for inspection: every record in load order, the rotation of
  // all slots in the order queued, and the impressed uuids in the order
  // recorded. Cost grows with the inventory; adsMirror makes the copies of
  // refills not yet handed out. Any thread.
  std::optional<List> ads() const;
  std::optional<List> adsMirror();
  std::vector<std::string> impressed() const;

 private:
  static constexpr std::uint32_t kNone = UuidIndex::kNone;

  // A record waiting in its slot's rotation: the record of place `index`, or
  // a copy of it made as it is handed out (a first batch's), unless `made`
  // holds one made ahead. `order` places it among the records of every slot.
  // Places rather than references: storing a record counts no reference on
  // any thread's cache line.
  struct Queued {
    std::uint64_t order;
    std::uint32_t index;
    bool copy = false;
    Record made;
  };
  // Looks slots up by view as well as by string.
  struct SlotHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view id) const { return std::hash<std::string_view>()(id); }
  };
  // A slot's records (places) in load order and its rotation, next first:
  // copies of the records of stored[refillNext, refillEnd), made as they are
  // handed out and placed from refillOrder on, then `queued`. The rotation is
  // always a tail of `stored`, so the oldest record, when still to come, is
  // the rotation's first.
  struct Slot {
    std::string_view id;  // the map's key
    std::deque<std::uint32_t> stored;
    std::size_t refillNext = 0;
    std::size_t refillEnd = 0;
    std::uint64_t refillOrder = 0;
    std::deque<Queued> queued;
  };
  // A place for a record. `sameNext` and `samePrev` chain the places of the
  // records with the same uuid, in load order.
  struct Stored {
    Record record;  // null while the place is free
    Slot* slot = nullptr;
    std::uint64_t seq = 0;  // load order
    std::uint32_t entry = kNone;
    std::uint32_t samePrev = kNone;
    std::uint32_t sameNext = kNone;
  };
  // When the record stored `seq`-th, at place `index`, arrived. In load
  // order, which is the order of arrival.
  struct Arrival {
    clock::TimePoint arrived;
    std::uint64_t seq;
    std::uint32_t index;
  };

  // Runs `body(left)` whole under the lock, once the records past their
  // lifetime have left, then reports all that left. Returns body's result.
  template <class Body>
  auto expiringThen(Body body);

  // All require mutex_.
  // Stores `record` under the slot and uuid of `values`, one snapshot of it
  // (the host may change the record meanwhile), and queues it, or a copy
  // made when it is handed out.
  void store(Record record, std::shared_ptr<const OvixAdInfo::Values> values, bool queueCopy,
             clock::TimePoint arrived, std::vector<std::string>& left);
  // The slot of that id, made when new. The last one found is kept, as a
  // batch comes slot by slot.
  Slot& slot(std::string_view infeedId);
  void restore(Slot& slot);
  // Makes the copies the slot's rotation would make as it hands them out.
  void materialize(Slot& slot);
  // Records past their lifetime leave, oldest first.
  void expire(std::vector<std::string>& left);
  // The slot's oldest record leaves the rotation, the slot, the index and the
  // inventory; its uuid joins `left`. A slot left empty goes.
  void leave(Slot& slot, std::vector<std::string>& left);
  // Drops the arrivals of records that left otherwise, once they outnumber
  // the records.
  void compactArrivals();
  // Tells the leave handler, when anything left. Without the lock.
  void report(std::vector<std::string> left) const;

  const LeaveHandler onLeave_;

  mutable std::mutex mutex_;
  bool loaded_ = false;                                                     // guarded by mutex_
  std::vector<Stored> stored_;                                              // guarded by mutex_
  std::vector<std::uint32_t> free_;                                         // guarded by mutex_
  std::size_t live_ = 0;                                                    // guarded by mutex_
  std::unordered_map<std::string, Slot, SlotHash, std::equal_to<>> slots_;  // guarded by mutex_
  std::pair<std::string_view, Slot*> lastSlot_;                             // guarded by mutex_
  UuidIndex byUuid_;                                                        // guarded by mutex_
  std::uint64_t nextSeq_ = 0;                                               // guarded by mutex_
  std::uint64_t nextOrder_ = 0;                                             // guarded by mutex_
  std::deque<Arrival> arrivals_;                                            // guarded by mutex_
  clock::TimePoint lastArrived_;                                            // guarded by mutex_
  clock::Duration timeToLive_{0};                                           // guarded by mutex_
  std::size_t maximumPerSlot_ = 0;                                          // guarded by mutex_
  // Impressions are counted from 1 in the order recorded; claims are marked
  // in byUuid_.
  std::uint64_t impressions_ = 0;  // guarded by mutex_
  // The uuids appendImpressed recorded, and when.
  std::unordered_set<std::string> appended_;                             // guarded by mutex_
  std::vector<std::pair<std::uint64_t, std::string_view>> appendOrder_;  // guarded by mutex_
};

}  // namespace ovix
