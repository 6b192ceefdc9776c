#include "ovix/model/UuidIndex.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "ovix/model/AdValues.hpp"

namespace ovix {

std::uint32_t UuidIndex::hashOf(std::string_view uuid) {
  // Eight bytes at a time, multiplied and folded: quicker than std::hash for
  // 36 bytes, and well mixed for keys nobody chooses against the table (the
  // parser's random uuids, a host's own).
  std::uint64_t hash = 0x9E3779B97F4A7C15 ^ uuid.size();
  const auto mix = [&](std::uint64_t word) {
    hash = (hash ^ word) * 0xBF58476D1CE4E5B9;
    hash ^= hash >> 31;
  };
  std::size_t at = 0;
  for (; at + 8 <= uuid.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, uuid.data() + at, 8);
    mix(word);
  }
  std::uint64_t tail = 0;
  if (at < uuid.size()) std::memcpy(&tail, uuid.data() + at, uuid.size() - at);
  mix(tail);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

UuidIndex::Place& UuidIndex::placeOf(std::string_view uuid, std::uint32_t hash) {
  const std::size_t mask = places_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    Place& place = places_[at];
    if (place.entry == 0) return place;
    if (place.hash == hash && entries_[place.entry - 1].uuid == uuid) return place;
  }
}

UuidIndex::Entry* UuidIndex::find(std::string_view uuid) {
  if (entries_.empty()) return nullptr;
  const Place& place = placeOf(uuid, hashOf(uuid));
  return place.entry == 0 ? nullptr : &entries_[place.entry - 1];
}

std::pair<std::uint32_t, bool> UuidIndex::add(std::shared_ptr<const OvixAdInfo::Values> values,
                                              std::uint32_t record) {
  reserve(entries_.size() + 1);
  const std::uint32_t hash = hashOf(values->uuid);
  Place& place = placeOf(values->uuid, hash);
  if (place.entry != 0) return {place.entry - 1, false};
  const std::string_view uuid = values->uuid;
  entries_.push_back(Entry{uuid, std::move(values), record, record});
  place = Place{hash, static_cast<std::uint32_t>(entries_.size())};
  return {place.entry - 1, true};
}

std::optional<std::uint32_t> UuidIndex::remove(std::uint32_t id) {
  // Linear probing without tombstones: the places after the hole that may
  // move back into it do, so that every lookup still finds its key.
  const std::size_t mask = places_.size() - 1;
  std::size_t hole = static_cast<std::size_t>(
      &placeOf(entries_[id].uuid, hashOf(entries_[id].uuid)) - &places_[0]);
  for (std::size_t at = (hole + 1) & mask; places_[at].entry != 0; at = (at + 1) & mask) {
    const std::size_t home = places_[at].hash & mask;
    if (((at - home) & mask) >= ((at - hole) & mask)) {
      places_[hole] = places_[at];
      hole = at;
    }
  }
  places_[hole] = Place();
  const auto last = static_cast<std::uint32_t>(entries_.size() - 1);
  std::optional<std::uint32_t> moved;
  if (id != last) {
    placeOf(entries_[last].uuid, hashOf(entries_[last].uuid)).entry = id + 1;
    entries_[id] = std::move(entries_[last]);
    moved = last;
  }
  entries_.pop_back();
  return moved;
}

void UuidIndex::reserve(std::size_t count) {
  if (count > entries_.capacity()) entries_.reserve(std::max(count, 2 * entries_.capacity()));
  if (2 * count <= places_.size()) return;
  std::vector<Place> old(std::bit_ceil(std::max<std::size_t>(2 * count, 16)));
  old.swap(places_);
  const std::size_t mask = places_.size() - 1;
  for (const Place& place : old) {
    if (place.entry == 0) continue;
    std::size_t at = place.hash & mask;
    while (places_[at].entry != 0) at = (at + 1) & mask;
    places_[at] = place;
  }
}

void UuidIndex::clear() {
  entries_.clear();
  std::fill(places_.begin(), places_.end(), Place());
}

}  // namespace ovix
