#include "ovix/OvixAdInfo.hpp"

namespace ovix {

std::shared_ptr<OvixAdInfo> OvixAdInfo::copy() const {
  auto record = std::make_shared<OvixAdInfo>();
  record->infeedId_ = infeedId_;
  record->imageUrl_ = imageUrl_;
  record->advertiser_ = advertiser_;
  record->title_ = title_;
  record->descript_ = descript_;
  record->impUrl_ = impUrl_;
  record->viewableImpUrl_ = viewableImpUrl_;
  record->clickUrl_ = clickUrl_;
  record->uuid_ = uuid_;
  return record;
}

}  // namespace ovix
