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
  // The nine values of a record.
  struct Fields {
    std::string infeedId;
    std::string imageUrl;
    std::string advertiser;
    std::string title;
    std::string descript;
    std::vector<std::string> impUrl;
    std::vector<std::string> viewableImpUrl;
    std::string clickUrl;
    std::string uuid;
  };

  // A record whose values are all empty.
  OvixAdInfo();
  // A record with `fields`.
  explicit OvixAdInfo(Fields fields);
  // A record of values it may share with other records; they are never
  // changed through it. Null stands for empty values.
  explicit OvixAdInfo(std::shared_ptr<const Fields> fields);
  // Copies go through copy(), which makes a new shared record.
  OvixAdInfo(const OvixAdInfo&) = delete;
  OvixAdInfo& operator=(const OvixAdInfo&) = delete;

  // A new record with the same nine values, the uuid included. Cheap: the two
  // share their values until either is changed.
  std::shared_ptr<OvixAdInfo> copy() const;

  // The values, shared with this record's copies; never null.
  const std::shared_ptr<const Fields>& fields() const { return fields_; }

  // References stay valid until the record is changed or destroyed.
  const std::string& infeedId() const { return fields_->infeedId; }
  const std::string& imageUrl() const { return fields_->imageUrl; }
  const std::string& advertiser() const { return fields_->advertiser; }
  const std::string& title() const { return fields_->title; }
  const std::string& descript() const { return fields_->descript; }
  const std::vector<std::string>& impUrl() const { return fields_->impUrl; }
  const std::vector<std::string>& viewableImpUrl() const { return fields_->viewableImpUrl; }
  const std::string& clickUrl() const { return fields_->clickUrl; }
  const std::string& uuid() const { return fields_->uuid; }

  // Each change gives this record values of its own; its copies keep theirs.
  void setInfeedId(std::string value);
  void setImageUrl(std::string value);
  void setAdvertiser(std::string value);
  void setTitle(std::string value);
  void setDescript(std::string value);
  void setImpUrl(std::vector<std::string> value);
  void setViewableImpUrl(std::vector<std::string> value);
  void setClickUrl(std::string value);
  void setUuid(std::string value);

 private:
  // Never changed once made, so records on any thread may share them.
  std::shared_ptr<const Fields> fields_;
};

}  // namespace ovix
