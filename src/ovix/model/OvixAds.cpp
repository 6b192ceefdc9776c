#include "ovix/model/OvixAds.hpp"

#include <algorithm>

#include "ovix/model/AdValues.hpp"

namespace ovix {

void OvixAds::add(const std::optional<List>& list) {
  if (!list || list->empty()) return;
  std::lock_guard lock(mutex_);
  if (!ads_) {
    // Nothing is kept unless the batch holds a record.
    if (std::none_of(list->begin(), list->end(), [](const Record& r) { return r != nullptr; })) {
      return;
    }
    std::vector<std::shared_ptr<const OvixAdInfo::Values>> values;
    values.reserve(list->size());
    for (const Record& record : *list) {
      if (record) values.push_back(record->values());
    }
    ads_.emplace().reserve(values.size());
    firstWithUuid_.reserve(values.size());
    auto copies = OvixAdInfo::make(values);
    for (std::size_t i = 0; i < copies.size(); ++i) {
      store(std::move(copies[i]), std::move(values[i]), true);
    }
    return;
  }
  firstWithUuid_.reserve(firstWithUuid_.size() + list->size());
  for (const Record& record : *list) {
    if (record) store(record, record->values(), false);
  }
}

void OvixAds::store(Record record, std::shared_ptr<const OvixAdInfo::Values> values,
                    bool queueCopy) {
  Slot& into = slot(values->infeedId);
  const std::size_t index = ads_->size();
  firstWithUuid_.add(std::move(values), index);
  into.stored.push_back(index);
  into.queued.push_back(Queued{nextOrder_++, index, queueCopy, nullptr});
  ads_->push_back(std::move(record));
}

OvixAds::Slot& OvixAds::slot(std::string_view infeedId) {
  if (lastSlot_.second && lastSlot_.first == infeedId) return *lastSlot_.second;
  auto found = slots_.find(infeedId);
  if (found == slots_.end()) found = slots_.emplace(std::string(infeedId), Slot()).first;
  lastSlot_ = {found->first, &found->second};
  return found->second;
}

OvixAds::Record OvixAds::hasNextAd(const std::string& infeedId) {
  std::lock_guard lock(mutex_);
  const auto found = slots_.find(infeedId);
  if (found == slots_.end()) return nullptr;
  Slot& slot = found->second;
  Record next;
  if (slot.refillNext < slot.refillEnd) {
    next = (*ads_)[slot.stored[slot.refillNext++]]->copy();
  } else if (slot.queued.empty()) {
    return nullptr;
  } else {
    Queued& front = slot.queued.front();
    const Record& record = (*ads_)[front.index];
    next = front.made ? std::move(front.made) : front.copy ? record->copy() : record;
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
  for (Queued& queued : slot.queued) {
    if (queued.copy && !queued.made) queued.made = (*ads_)[queued.index]->copy();
  }
  std::deque<Queued> copies;
  for (std::size_t i = slot.refillNext; i < slot.refillEnd; ++i) {
    const std::size_t index = slot.stored[i];
    copies.push_back(
        Queued{slot.refillOrder + (i - slot.refillNext), index, true, (*ads_)[index]->copy()});
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
  lastSlot_ = {};
  firstWithUuid_.clear();
  impressed_.clear();
  appended_.clear();
}

OvixAds::Record OvixAds::claimImpression(const std::string& uuid) {
  std::lock_guard lock(mutex_);
  if (!ads_) return nullptr;
  UuidIndex::Entry* first = firstWithUuid_.find(uuid);
  if (!first || first->claimed) return nullptr;
  if (!appended_.empty() && appended_.contains(uuid)) return nullptr;
  first->claimed = true;
  impressed_.push_back(first->uuid);
  return (*ads_)[first->record];
}

void OvixAds::appendImpressed(std::string uuid) {
  std::lock_guard lock(mutex_);
  impressed_.push_back(*appended_.insert(std::move(uuid)).first);
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
  for (const Queued* queued : all) {
    mirror.push_back(queued->made ? queued->made : (*ads_)[queued->index]);
  }
  return mirror;
}

std::vector<std::string> OvixAds::impressed() const {
  std::lock_guard lock(mutex_);
  return std::vector<std::string>(impressed_.begin(), impressed_.end());
}

}  // namespace ovix
