#include "ovix/model/AdValues.hpp"

#include <algorithm>

namespace ovix {

OvixAdInfo::Values::Values(std::shared_ptr<const Fields> fields) : held_(std::move(fields)) {
  const Fields& held = *held_;
  infeedId = held.infeedId;
  imageUrl = held.imageUrl;
  advertiser = held.advertiser;
  title = held.title;
  descript = held.descript;
  clickUrl = held.clickUrl;
  uuid = held.uuid;
  const std::size_t imps = held.impUrl.size();
  if (imps + held.viewableImpUrl.size() == 0) return;
  heldLists_ = std::make_unique<std::string_view[]>(imps + held.viewableImpUrl.size());
  std::copy(held.impUrl.begin(), held.impUrl.end(), heldLists_.get());
  std::copy(held.viewableImpUrl.begin(), held.viewableImpUrl.end(), heldLists_.get() + imps);
  impUrl = List(heldLists_.get(), imps);
  viewableImpUrl = List(heldLists_.get() + imps, held.viewableImpUrl.size());
}

const OvixAdInfo::Fields& OvixAdInfo::Values::fields() const {
  if (held_) return *held_;
  std::call_once(built_, [this] {
    auto built = std::make_unique<Fields>();
    built->infeedId = infeedId;
    built->imageUrl = imageUrl;
    built->advertiser = advertiser;
    built->title = title;
    built->descript = descript;
    built->impUrl.assign(impUrl.begin(), impUrl.end());
    built->viewableImpUrl.assign(viewableImpUrl.begin(), viewableImpUrl.end());
    built->clickUrl = clickUrl;
    built->uuid = uuid;
    fields_ = std::move(built);
  });
  return *fields_;
}

}  // namespace ovix
