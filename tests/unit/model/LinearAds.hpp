#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix::test {

// The inventory as three plain lists scanned from the front: the reference
// the indexed OvixAds must agree with, call for call and object for object.
// Copies records through their values, not copy(), so that a broken copy()
// shows. One thread only.
class LinearAds {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;
  using List = std::vector<Record>;

  static Record copy(const Record& record) {
    return std::make_shared<OvixAdInfo>(OvixAdInfo::Fields(*record->fields()));
  }

  void add(const std::optional<List>& list) {
    if (!list || list->empty()) return;
    if (!ads_) {
      List stored;
      List queued;
      for (const Record& record : *list) {
        if (!record) continue;
        stored.push_back(copy(record));
        queued.push_back(copy(stored.back()));
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

  Record hasNextAd(const std::string& infeedId) {
    if (!adsMirror_) return nullptr;
    auto ofSlot = [&](const Record& record) { return record->infeedId() == infeedId; };
    const auto found = std::find_if(adsMirror_->begin(), adsMirror_->end(), ofSlot);
    if (found == adsMirror_->end()) return nullptr;
    Record next = *found;
    adsMirror_->erase(found);
    if (std::none_of(adsMirror_->begin(), adsMirror_->end(), ofSlot)) {
      for (const Record& record : *ads_) {
        if (ofSlot(record)) adsMirror_->push_back(copy(record));
      }
    }
    return next;
  }

  void clear() {
    ads_.reset();
    adsMirror_.reset();
    impressed_.clear();
  }

  Record claimImpression(const std::string& uuid) {
    if (!ads_ || std::find(impressed_.begin(), impressed_.end(), uuid) != impressed_.end()) {
      return nullptr;
    }
    const auto found = std::find_if(ads_->begin(), ads_->end(),
                                    [&](const Record& record) { return record->uuid() == uuid; });
    if (found == ads_->end()) return nullptr;
    impressed_.push_back(uuid);
    return *found;
  }

  void appendImpressed(std::string uuid) { impressed_.push_back(std::move(uuid)); }

  const std::optional<List>& ads() const { return ads_; }
  const std::optional<List>& adsMirror() const { return adsMirror_; }
  const std::vector<std::string>& impressed() const { return impressed_; }

 private:
  std::optional<List> ads_;             // every record, all slots, load order
  std::optional<List> adsMirror_;       // the rotation, all slots mixed
  std::vector<std::string> impressed_;  // uuids, in the order recorded
};

}  // namespace ovix::test
