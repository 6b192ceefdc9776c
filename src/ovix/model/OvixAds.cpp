#include "ovix/model/OvixAds.hpp"

#include <algorithm>

namespace ovix {

void OvixAds::add(const std::optional<List>& list) {
  if (!list || list->empty()) return;
  std::lock_guard lock(mutex_);
  if (!ads_) {
    // Nothing is kept unless the batch holds a record.
    if (std::none_of(list->begin(), list->end(), [](const Record& r) { return r != nullptr; })) {
      return;
    }
    ads_.emplace().reserve(list->size());
    for (const Record& record : *list) {
      if (!record) continue;
      Record stored = record->copy();
      Record queued = stored->copy();
      store(std::move(stored), std::move(queued));
    }
    return;
  }
  for (const Record& record : *list) {
    if (record) store(record, record);
  }
}

void OvixAds::store(Record stored, Record queued) {
  // One snapshot for both keys: the host may change the record meanwhile.
  auto values = stored->fields();
  Slot& slot = slots_[values->infeedId];
  const std::string_view uuid = values->uuid;
  firstWithUuid_.try_emplace(uuid, First{std::move(values), stored});
  slot.stored.push_back(stored);
  enqueue(slot, std::move(queued));
  ads_->push_back(std::move(stored));
}

void OvixAds::enqueue(Slot& slot, Record record) {
  slot.queued.push_back(Queued{nextOrder_++, std::move(record)});
}

OvixAds::Record OvixAds::hasNextAd(const std::string& infeedId) {
  std::lock_guard lock(mutex_);
  const auto found = slots_.find(infeedId);
  if (found == slots_.end()) return nullptr;
  Slot& slot = found->second;
  Record next;
  if (slot.refillNext < slot.refillEnd) {
    next = slot.stored[slot.refillNext++]->copy();
  } else if (slot.queued.empty()) {
    return nullptr;
  } else {
    next = std::move(slot.queued.front().record);
    slot.queued.pop_front();
  }
  if (slot.refillNext == slot.refillEnd && slot.queued.empty()) restore(slot);
  return next;
}

void OvixAds::restore(Slot& slot) {
  // Only the place in the order is taken now: the copies come one a call.
  slot.refillNext = 0;
  slot.refillEnd = slot.stored.size();
  slot.refillOrder = nextOrder_;
  nextOrder_ += slot.stored.size();
}

void OvixAds::materialize(Slot& slot) {
  std::deque<Queued> copies;
  for (std::size_t i = slot.refillNext; i < slot.refillEnd; ++i) {
    copies.push_back(Queued{slot.refillOrder + (i - slot.refillNext), slot.stored[i]->copy()});
  }
  slot.refillOrder += slot.refillEnd - slot.refillNext;
  slot.refillNext = slot.refillEnd;
  slot.queued.insert(slot.queued.begin(), std::make_move_iterator(copies.begin()),
                     std::make_move_iterator(copies.end()));
}

void OvixAds::clear() {
  std::lock_guard lock(mutex_);
  ads_.reset();
  slots_.clear();
  firstWithUuid_.clear();
  impressed_.clear();
  impressedSet_.clear();
}

OvixAds::Record OvixAds::claimImpression(const std::string& uuid) {
  std::lock_guard lock(mutex_);
  if (!ads_ || impressedSet_.contains(uuid)) return nullptr;
  const auto found = firstWithUuid_.find(uuid);
  if (found == firstWithUuid_.end()) return nullptr;
  impressed_.push_back(uuid);
  impressedSet_.insert(uuid);
  return found->second.record;
}

void OvixAds::appendImpressed(std::string uuid) {
  std::lock_guard lock(mutex_);
  impressedSet_.insert(uuid);
  impressed_.push_back(std::move(uuid));
}

std::optional<OvixAds::List> OvixAds::ads() const {
  std::lock_guard lock(mutex_);
  return ads_;
}

std::optional<OvixAds::List> OvixAds::adsMirror() {
  std::lock_guard lock(mutex_);
  if (!ads_) return std::nullopt;
  std::vector<const Queued*> all;
  for (auto& [infeedId, slot] : slots_) {
    materialize(slot);
    for (const Queued& queued : slot.queued) all.push_back(&queued);
  }
  std::sort(all.begin(), all.end(),
            [](const Queued* a, const Queued* b) { return a->order < b->order; });
  List mirror;
  mirror.reserve(all.size());
  for (const Queued* queued : all) mirror.push_back(queued->record);
  return mirror;
}

std::vector<std::string> OvixAds::impressed() const {
  std::lock_guard lock(mutex_);
  return impressed_;
}

}  // namespace ovix
