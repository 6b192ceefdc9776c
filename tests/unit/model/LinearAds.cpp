#include "unit/model/LinearAds.hpp"

#include <algorithm>

namespace ovix::test {

void LinearAds::add(const std::optional<List>& list) {
  if (!list || list->empty()) return;
  if (!ads_) {
    List stored;
    List queued;
    for (const Record& record : *list) {
      if (!record) continue;
      stored.push_back(record->copy());
      queued.push_back(stored.back()->copy());
    }
    if (stored.empty()) return;
    ads_ = std::move(stored);
    adsMirror_ = std::move(queued);
    return;
  }
  for (const Record& record : *list) {
    if (!record) continue;
    ads_->push_back(record);
    if (adsMirror_) adsMirror_->push_back(record);
  }
}

LinearAds::Record LinearAds::hasNextAd(const std::string& infeedId) {
  if (!adsMirror_) return nullptr;
  auto ofSlot = [&](const Record& record) { return record->infeedId() == infeedId; };
  const auto found = std::find_if(adsMirror_->begin(), adsMirror_->end(), ofSlot);
  if (found == adsMirror_->end()) return nullptr;
  Record next = *found;
  adsMirror_->erase(found);
  if (std::none_of(adsMirror_->begin(), adsMirror_->end(), ofSlot)) restore(infeedId);
  return next;
}

void LinearAds::restore(const std::string& infeedId) {
  if (!ads_ || !adsMirror_) return;
  for (const Record& record : *ads_) {
    if (record->infeedId() == infeedId) adsMirror_->push_back(record->copy());
  }
}

void LinearAds::clear() {
  ads_.reset();
  adsMirror_.reset();
  impressed_.clear();
}

LinearAds::Record LinearAds::claimImpression(const std::string& uuid) {
  if (!ads_) return nullptr;
  if (std::find(impressed_.begin(), impressed_.end(), uuid) != impressed_.end()) return nullptr;
  const auto found = std::find_if(ads_->begin(), ads_->end(),
                                  [&](const Record& record) { return record->uuid() == uuid; });
  if (found == ads_->end()) return nullptr;
  impressed_.push_back(uuid);
  return *found;
}

void LinearAds::appendImpressed(std::string uuid) {
  impressed_.push_back(std::move(uuid));
}

}  // namespace ovix::test
