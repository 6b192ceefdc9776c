#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ovix/Export.hpp"

namespace ovix {

// One ad. Shared by reference (std::shared_ptr<OvixAdInfo>): the inventory, the
// host, bound cells and work in flight may hold the same record. Two records
// are the same ad when they have the same uuid and the same record only when
// they are the same object.
//
// No lock: the SDK fills a record before handing it on and never changes it
// afterwards. A host that changes a record does so on the main thread.
class OVIX_EXPORT OvixAdInfo {
 public:
  OvixAdInfo() = default;
  // Copies go through copy(), which makes a new shared record.
  OvixAdInfo(const OvixAdInfo&) = delete;
  OvixAdInfo& operator=(const OvixAdInfo&) = delete;

  // A new record with the same nine values, the uuid included.
  std::shared_ptr<OvixAdInfo> copy() const;

  const std::string& infeedId() const { return infeedId_; }
  const std::string& imageUrl() const { return imageUrl_; }
  const std::string& advertiser() const { return advertiser_; }
  const std::string& title() const { return title_; }
  const std::string& descript() const { return descript_; }
  const std::vector<std::string>& impUrl() const { return impUrl_; }
  const std::vector<std::string>& viewableImpUrl() const { return viewableImpUrl_; }
  const std::string& clickUrl() const { return clickUrl_; }
  const std::string& uuid() const { return uuid_; }

  void setInfeedId(std::string value) { infeedId_ = std::move(value); }
  void setImageUrl(std::string value) { imageUrl_ = std::move(value); }
  void setAdvertiser(std::string value) { advertiser_ = std::move(value); }
  void setTitle(std::string value) { title_ = std::move(value); }
  void setDescript(std::string value) { descript_ = std::move(value); }
  void setImpUrl(std::vector<std::string> value) { impUrl_ = std::move(value); }
  void setViewableImpUrl(std::vector<std::string> value) { viewableImpUrl_ = std::move(value); }
  void setClickUrl(std::string value) { clickUrl_ = std::move(value); }
  void setUuid(std::string value) { uuid_ = std::move(value); }

 private:
  std::string infeedId_;
  std::string imageUrl_;
  std::string advertiser_;
  std::string title_;
  std::string descript_;
  std::vector<std::string> impUrl_;
  std::vector<std::string> viewableImpUrl_;
  std::string clickUrl_;
  std::string uuid_;
};

}  // namespace ovix
