#include "ovix/OvixAdInfo.hpp"

namespace ovix {
namespace {

const std::shared_ptr<const OvixAdInfo::Fields>& emptyFields() {
  static const auto empty = std::make_shared<const OvixAdInfo::Fields>();
  return empty;
}

// `fields` with one value changed, as new fields.
template <class Member, class Value>
std::shared_ptr<const OvixAdInfo::Fields> changed(const OvixAdInfo::Fields& fields, Member member,
                                                  Value value) {
  auto next = std::make_shared<OvixAdInfo::Fields>(fields);
  (*next).*member = std::move(value);
  return next;
}

}  // namespace

OvixAdInfo::OvixAdInfo() : fields_(emptyFields()) {}

OvixAdInfo::OvixAdInfo(Fields fields)
    : fields_(std::make_shared<const Fields>(std::move(fields))) {}

OvixAdInfo::OvixAdInfo(std::shared_ptr<const Fields> fields)
    : fields_(fields ? std::move(fields) : emptyFields()) {}

std::shared_ptr<OvixAdInfo> OvixAdInfo::copy() const {
  return std::make_shared<OvixAdInfo>(fields_);
}

void OvixAdInfo::setInfeedId(std::string value) {
  fields_ = changed(*fields_, &Fields::infeedId, std::move(value));
}
void OvixAdInfo::setImageUrl(std::string value) {
  fields_ = changed(*fields_, &Fields::imageUrl, std::move(value));
}
void OvixAdInfo::setAdvertiser(std::string value) {
  fields_ = changed(*fields_, &Fields::advertiser, std::move(value));
}
void OvixAdInfo::setTitle(std::string value) {
  fields_ = changed(*fields_, &Fields::title, std::move(value));
}
void OvixAdInfo::setDescript(std::string value) {
  fields_ = changed(*fields_, &Fields::descript, std::move(value));
}
void OvixAdInfo::setImpUrl(std::vector<std::string> value) {
  fields_ = changed(*fields_, &Fields::impUrl, std::move(value));
}
void OvixAdInfo::setViewableImpUrl(std::vector<std::string> value) {
  fields_ = changed(*fields_, &Fields::viewableImpUrl, std::move(value));
}
void OvixAdInfo::setClickUrl(std::string value) {
  fields_ = changed(*fields_, &Fields::clickUrl, std::move(value));
}
void OvixAdInfo::setUuid(std::string value) {
  fields_ = changed(*fields_, &Fields::uuid, std::move(value));
}

}  // namespace ovix
