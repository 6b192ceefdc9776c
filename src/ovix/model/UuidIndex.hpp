#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// The records stored with each uuid, as the first and last of their owner's
// chain of places, found by the uuid. An open addressing table of hashes
// beside the list of entries, rather than a node per entry: a lookup in a
// large inventory reads one line of the table, then its entry. Not
// thread-safe: its owner guards it.
class UuidIndex {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  struct Entry {
    // The key, held here so that a lookup reads no more than the entry and
    // the key's bytes. `values` holds the bytes, so the key lives even when
    // the record is changed or gone.
    std::string_view uuid;
    std::shared_ptr<const OvixAdInfo::Values> values;
    std::uint32_t first;  // the owner's oldest record with this uuid
    std::uint32_t last;   // and its newest
    // When an impression took the records, in the owner's count; 0 if none has.
    std::uint64_t claimed = 0;
    // Whether the records' viewable beacons were sent.
    bool viewed = false;
  };

  // The entry of `uuid`, or null; valid until the next add, remove or clear.
  Entry* find(std::string_view uuid);
  Entry& at(std::uint32_t id) { return entries_[id]; }
  std::uint32_t idOf(const Entry& entry) const {
    return static_cast<std::uint32_t>(&entry - entries_.data());
  }
  // The id of the entry for `values`' uuid, and whether it is new: a new one
  // has `record` as its first and last.
  std::pair<std::uint32_t, bool> add(std::shared_ptr<const OvixAdInfo::Values> values,
                                     std::uint32_t record);
  // Removes entry `id`. The last entry takes its id: returns that entry's old
  // id, or nothing when `id` was the last.
  std::optional<std::uint32_t> remove(std::uint32_t id);
  // Makes room for `count` entries in all.
  void reserve(std::size_t count);
  // Forgets every entry, keeping the room for the loads that follow.
  void clear();
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  // A place of the table: part of the key's hash and 1 + the entry's index,
  // 0 when free.
  struct Place {
    std::uint32_t hash = 0;
    std::uint32_t entry = 0;
  };

  static std::uint32_t hashOf(std::string_view uuid);
  // The place of `uuid`, or the free place where it would go.
  Place& placeOf(std::string_view uuid, std::uint32_t hash);

  std::vector<Place> places_;  // a power of two, at most half of them used
  std::vector<Entry> entries_;
};

}  // namespace ovix
