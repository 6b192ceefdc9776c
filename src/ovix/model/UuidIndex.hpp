#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// The first record stored with each uuid, as its owner's place for it, found
// by its uuid. An open addressing table of hashes beside the list of entries,
// rather than a node per entry: a lookup in a large inventory reads one line
// of the table, then its entry. Not thread-safe: its owner guards it.
class UuidIndex {
 public:
  struct Entry {
    // The key, held here so that a lookup reads no more than the entry and
    // the key's bytes. `values` holds the bytes, so the key lives even when
    // the record is changed.
    std::string_view uuid;
    std::shared_ptr<const OvixAdInfo::Values> values;
    std::size_t record;
    bool claimed = false;  // an impression took the record
  };

  // The entry of `uuid`, or null; valid until the next add or clear.
  Entry* find(std::string_view uuid);
  // Adds an entry for `values`' uuid unless it has one.
  void add(std::shared_ptr<const OvixAdInfo::Values> values, std::size_t record);
  // Makes room for `count` entries in all.
  void reserve(std::size_t count);
  // Forgets every entry, keeping the room for the loads that follow.
  void clear();
  std::size_t size() const { return entries_.size(); }

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
