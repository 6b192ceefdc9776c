#include "ovix/model/OvixAds.hpp"

#include <algorithm>
#include <type_traits>

#include "ovix/model/AdValues.hpp"

namespace ovix {

OvixAds::OvixAds(LeaveHandler onLeave) : onLeave_(std::move(onLeave)) {}

template <class Body>
auto OvixAds::expiringThen(Body body) {
  std::vector<std::string> left;
  using Result = decltype(body(left));
  if constexpr (std::is_void_v<Result>) {
    {
      std::lock_guard lock(mutex_);
      expire(left);
      body(left);
    }
    report(std::move(left));
  } else {
    Result result;
    {
      std::lock_guard lock(mutex_);
      expire(left);
      result = body(left);
    }
    report(std::move(left));
    return result;
  }
}

void OvixAds::add(const std::optional<List>& list, clock::TimePoint arrived) {
  if (!list || list->empty()) return;
  expiringThen([&](std::vector<std::string>& left) {
    arrived = std::max(arrived, lastArrived_);
    lastArrived_ = arrived;
    if (!loaded_) {
      // Nothing is kept unless the batch holds a record.
      if (std::none_of(list->begin(), list->end(), [](const Record& r) { return r != nullptr; })) {
        return;
      }
      std::vector<std::shared_ptr<const OvixAdInfo::Values>> values;
      values.reserve(list->size());
      for (const Record& record : *list) {
        if (record) values.push_back(record->values());
      }
      loaded_ = true;
      stored_.reserve(values.size());
      byUuid_.reserve(values.size());
      auto copies = OvixAdInfo::make(values);
      for (std::size_t i = 0; i < copies.size(); ++i) {
        store(std::move(copies[i]), std::move(values[i]), true, arrived, left);
      }
    } else {
      byUuid_.reserve(byUuid_.entries().size() + list->size());
      for (const Record& record : *list) {
        if (record) store(record, record->values(), false, arrived, left);
      }
    }
  });
}

void OvixAds::store(Record record, std::shared_ptr<const OvixAdInfo::Values> values, bool queueCopy,
                    clock::TimePoint arrived, std::vector<std::string>& left) {
  Slot& into = slot(values->infeedId);
  std::uint32_t index;
  if (free_.empty()) {
    index = static_cast<std::uint32_t>(stored_.size());
    stored_.emplace_back();
  } else {
    index = free_.back();
    free_.pop_back();
  }
  const auto [entry, added] = byUuid_.add(std::move(values), index);
  Stored& place = stored_[index];
  place = Stored{std::move(record), &into, nextSeq_++, entry};
  if (!added) {
    UuidIndex::Entry& same = byUuid_.at(entry);
    place.samePrev = same.last;
    stored_[same.last].sameNext = index;
    same.last = index;
  }
  ++live_;
  into.stored.push_back(index);
  into.queued.push_back(Queued{nextOrder_++, index, queueCopy, nullptr});
  arrivals_.push_back(Arrival{arrived, place.seq, index});
  if (arrivals_.size() > 2 * live_ + 64) compactArrivals();
  if (maximumPerSlot_ != 0 && into.stored.size() > maximumPerSlot_) leave(into, left);
}

OvixAds::Slot& OvixAds::slot(std::string_view infeedId) {
  if (lastSlot_.second && lastSlot_.first == infeedId) return *lastSlot_.second;
  auto found = slots_.find(infeedId);
  if (found == slots_.end()) {
    found = slots_.emplace(std::string(infeedId), Slot()).first;
    found->second.id = found->first;
  }
  lastSlot_ = {found->first, &found->second};
  return found->second;
}

OvixAds::Record OvixAds::hasNextAd(const std::string& infeedId) {
  return expiringThen([&](std::vector<std::string>&) {
    Record next;
    const auto found = slots_.find(infeedId);
    if (found == slots_.end()) return next;
    Slot& slot = found->second;
    if (slot.refillNext < slot.refillEnd) {
      next = stored_[slot.stored[slot.refillNext++]].record->copy();
    } else if (!slot.queued.empty()) {
      Queued& front = slot.queued.front();
      const Record& record = stored_[front.index].record;
      next = front.made ? std::move(front.made) : front.copy ? record->copy() : record;
      slot.queued.pop_front();
    }
    if (slot.refillNext == slot.refillEnd && slot.queued.empty()) restore(slot);
    return next;
  });
}

void OvixAds::restore(Slot& slot) {
  // Only the place in the order is taken now: the copies come one a call.
  slot.refillNext = 0;
  slot.refillEnd = slot.stored.size();
  slot.refillOrder = nextOrder_;
  nextOrder_ += slot.stored.size();
}

void OvixAds::materialize(Slot& slot) {
  for (Queued& queued : slot.queued) {
    if (queued.copy && !queued.made) queued.made = stored_[queued.index].record->copy();
  }
  std::deque<Queued> copies;
  for (std::size_t i = slot.refillNext; i < slot.refillEnd; ++i) {
    const std::uint32_t index = slot.stored[i];
    copies.push_back(Queued{slot.refillOrder + (i - slot.refillNext), index, true,
                            stored_[index].record->copy()});
  }
  slot.refillOrder += slot.refillEnd - slot.refillNext;
  slot.refillNext = slot.refillEnd = 0;
  slot.queued.insert(slot.queued.begin(), std::make_move_iterator(copies.begin()),
                     std::make_move_iterator(copies.end()));
}

void OvixAds::expire(std::vector<std::string>& left) {
  if (timeToLive_ == clock::Duration::zero() || arrivals_.empty()) return;
  const clock::TimePoint now = clock::now();
  while (!arrivals_.empty() && now - arrivals_.front().arrived > timeToLive_) {
    const Arrival oldest = arrivals_.front();
    arrivals_.pop_front();
    const Stored& place = stored_[oldest.index];
    // Arrivals are in load order, so this is its slot's oldest.
    if (place.record && place.seq == oldest.seq) leave(*place.slot, left);
  }
}

void OvixAds::leave(Slot& slot, std::vector<std::string>& left) {
  const std::uint32_t index = slot.stored.front();
  slot.stored.pop_front();
  if (slot.refillNext < slot.refillEnd) {
    // A refill is under way: the record was handed out from it, or its copy
    // is the next to come.
    if (slot.refillNext == 0) {
      ++slot.refillOrder;
    } else {
      --slot.refillNext;
    }
    --slot.refillEnd;
  } else if (!slot.queued.empty() && slot.queued.front().index == index) {
    slot.queued.pop_front();
  }
  if (slot.stored.empty()) {
    if (lastSlot_.second == &slot) lastSlot_ = {};
    slots_.erase(slots_.find(slot.id));
  }

  Stored& place = stored_[index];
  UuidIndex::Entry& entry = byUuid_.at(place.entry);
  left.emplace_back(entry.uuid);
  if (place.samePrev != kNone) {
    stored_[place.samePrev].sameNext = place.sameNext;
  } else {
    entry.first = place.sameNext;
  }
  if (place.sameNext != kNone) {
    stored_[place.sameNext].samePrev = place.samePrev;
  } else {
    entry.last = place.samePrev;
  }
  if (entry.first == kNone) {
    // The last record with the uuid: the entry goes, and with it the claim.
    const std::uint32_t id = place.entry;
    if (const auto moved = byUuid_.remove(id)) {
      for (std::uint32_t at = byUuid_.at(id).first; at != kNone; at = stored_[at].sameNext) {
        stored_[at].entry = id;
      }
    }
  }
  place = Stored();
  free_.push_back(index);
  if (--live_ == 0) {
    // Nothing is left to point into the places.
    stored_.clear();
    free_.clear();
    arrivals_.clear();
  }
}

void OvixAds::compactArrivals() {
  std::erase_if(arrivals_, [&](const Arrival& arrival) {
    const Stored& place = stored_[arrival.index];
    return !place.record || place.seq != arrival.seq;
  });
}

void OvixAds::report(std::vector<std::string> left) const {
  if (!left.empty() && onLeave_) onLeave_(std::move(left));
}

void OvixAds::clear() {
  std::lock_guard lock(mutex_);
  loaded_ = false;
  stored_.clear();
  free_.clear();
  live_ = 0;
  slots_.clear();
  lastSlot_ = {};
  byUuid_.clear();
  arrivals_.clear();
  lastArrived_ = {};
  appendOrder_.clear();
  appended_.clear();
}

OvixAds::Record OvixAds::claimImpression(const std::string& uuid, bool viewed) {
  return expiringThen([&](std::vector<std::string>&) {
    UuidIndex::Entry* entry = loaded_ ? byUuid_.find(uuid) : nullptr;
    if (!entry || entry->claimed != 0 || (!appended_.empty() && appended_.contains(uuid))) {
      return Record();
    }
    entry->claimed = ++impressions_;
    entry->viewed = viewed;
    return stored_[entry->first].record;
  });
}

bool OvixAds::awaitsViewable(const std::string& uuid) {
  return expiringThen([&](std::vector<std::string>&) {
    const UuidIndex::Entry* entry = loaded_ ? byUuid_.find(uuid) : nullptr;
    return entry && entry->claimed != 0 && !entry->viewed;
  });
}

OvixAds::Record OvixAds::claimViewable(const std::string& uuid) {
  return expiringThen([&](std::vector<std::string>&) {
    UuidIndex::Entry* entry = loaded_ ? byUuid_.find(uuid) : nullptr;
    if (!entry || entry->claimed == 0 || entry->viewed) return Record();
    entry->viewed = true;
    return stored_[entry->first].record;
  });
}

void OvixAds::appendImpressed(std::string uuid) {
  std::lock_guard lock(mutex_);
  appendOrder_.emplace_back(++impressions_, *appended_.insert(std::move(uuid)).first);
}

void OvixAds::setTimeToLive(clock::Duration timeToLive) {
  expiringThen([&](std::vector<std::string>& left) {
    timeToLive_ = std::max(timeToLive, clock::Duration::zero());
    expire(left);
  });
}

clock::Duration OvixAds::timeToLive() const {
  std::lock_guard lock(mutex_);
  return timeToLive_;
}

void OvixAds::setMaximumPerSlot(std::size_t maximum) {
  std::vector<std::string> left;
  {
    std::lock_guard lock(mutex_);
    maximumPerSlot_ = maximum;
    if (maximum != 0) {
      // A slot keeps at least one record, so none goes while this walks them.
      for (auto& [id, slot] : slots_) {
        while (slot.stored.size() > maximum) leave(slot, left);
      }
    }
  }
  report(std::move(left));
}

std::size_t OvixAds::maximumPerSlot() const {
  std::lock_guard lock(mutex_);
  return maximumPerSlot_;
}

std::optional<OvixAds::List> OvixAds::ads() const {
  std::lock_guard lock(mutex_);
  if (!loaded_) return std::nullopt;
  std::vector<const Stored*> live;
  live.reserve(live_);
  for (const Stored& place : stored_) {
    if (place.record) live.push_back(&place);
  }
  // Places are in load order until one is reused.
  const auto loadOrder = [](const Stored* a, const Stored* b) { return a->seq < b->seq; };
  if (!std::is_sorted(live.begin(), live.end(), loadOrder)) {
    std::sort(live.begin(), live.end(), loadOrder);
  }
  List ads;
  ads.reserve(live.size());
  for (const Stored* place : live) ads.push_back(place->record);
  return ads;
}

std::optional<OvixAds::List> OvixAds::adsMirror() {
  std::lock_guard lock(mutex_);
  if (!loaded_) return std::nullopt;
  std::vector<const Queued*> all;
  for (auto& [infeedId, slot] : slots_) {
    materialize(slot);
    for (const Queued& queued : slot.queued) all.push_back(&queued);
  }
  std::sort(all.begin(), all.end(),
            [](const Queued* a, const Queued* b) { return a->order < b->order; });
  List mirror;
  mirror.reserve(all.size());
  for (const Queued* queued : all) {
    mirror.push_back(queued->made ? queued->made : stored_[queued->index].record);
  }
  return mirror;
}

std::vector<std::string> OvixAds::impressed() const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::uint64_t, std::string_view>> all(appendOrder_);
  for (const UuidIndex::Entry& entry : byUuid_.entries()) {
    if (entry.claimed != 0) all.emplace_back(entry.claimed, entry.uuid);
  }
  std::sort(all.begin(), all.end());
  std::vector<std::string> uuids;
  uuids.reserve(all.size());
  for (const auto& [order, uuid] : all) uuids.emplace_back(uuid);
  return uuids;
}

}  // namespace ovix
