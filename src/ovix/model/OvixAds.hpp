#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// The store of loaded ads and their rotation per slot, and the uuids of ads
// whose impression was sent. Every operation runs whole under one lock, so
// loads may add from background threads while the main thread takes ads.
class OvixAds {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;
  using List = std::vector<Record>;

  OvixAds() = default;
  OvixAds(const OvixAds&) = delete;
  OvixAds& operator=(const OvixAds&) = delete;

  // Adds a batch. The first batch (since creation or clear) is stored as copies
  // and queued as copies of those; a later batch's records are stored and
  // queued as themselves. Absent or empty lists, and null records, are ignored.
  void add(const std::optional<List>& list);

  // The next record of slot `infeedId`, or null when the slot has none. Refills
  // the slot with fresh copies in the call that takes its last queued record.
  Record hasNextAd(const std::string& infeedId);

  // Forgets every ad and every sent impression.
  void clear();

  // If ads are loaded, `uuid` is not yet impressed and an ad with it is loaded:
  // records `uuid` as impressed and returns the first such ad. One step, so
  // two callers never both get the ad.
  Record claimImpression(const std::string& uuid);

  // Records `uuid` as impressed.
  void appendImpressed(std::string uuid);

  // Snapshots, for inspection.
  std::optional<List> ads() const;
  std::optional<List> adsMirror() const;
  std::vector<std::string> impressed() const;

 private:
  void restore(const std::string& infeedId);  // requires mutex_

  mutable std::mutex mutex_;
  std::optional<List> ads_;             // guarded by mutex_
  std::optional<List> adsMirror_;       // guarded by mutex_
  std::vector<std::string> impressed_;  // guarded by mutex_
};

}  // namespace ovix
