#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix::test {

// The inventory as three plain lists scanned from the front: the reference
// the indexed OvixAds must agree with, call for call and object for object.
// One thread only.
class LinearAds {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;
  using List = std::vector<Record>;

  void add(const std::optional<List>& list);
  Record hasNextAd(const std::string& infeedId);
  void clear();
  Record claimImpression(const std::string& uuid);
  void appendImpressed(std::string uuid);

  const std::optional<List>& ads() const { return ads_; }
  const std::optional<List>& adsMirror() const { return adsMirror_; }
  const std::vector<std::string>& impressed() const { return impressed_; }

 private:
  void restore(const std::string& infeedId);

  std::optional<List> ads_;             // every record, all slots, load order
  std::optional<List> adsMirror_;       // the rotation, all slots mixed
  std::vector<std::string> impressed_;  // uuids, in the order recorded
};

}  // namespace ovix::test
