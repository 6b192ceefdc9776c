#include "ovix/OvixAdInfo.hpp"

#include <thread>

namespace ovix {
namespace {

const std::shared_ptr<const OvixAdInfo::Fields>& emptyFields() {
  static const auto empty = std::make_shared<const OvixAdInfo::Fields>();
  return empty;
}

// Holds a record's spin lock for its scope.
class SpinGuard {
 public:
  // Held for a pointer copy at most, so a waiter only yields.
  explicit SpinGuard(std::atomic_flag& flag) : flag_(flag) {
    while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  ~SpinGuard() { flag_.clear(std::memory_order_release); }
  SpinGuard(const SpinGuard&) = delete;
  SpinGuard& operator=(const SpinGuard&) = delete;

 private:
  std::atomic_flag& flag_;
};

}  // namespace

OvixAdInfo::OvixAdInfo() : fields_(emptyFields()) {}

OvixAdInfo::OvixAdInfo(Fields fields)
    : fields_(std::make_shared<const Fields>(std::move(fields))) {}

OvixAdInfo::OvixAdInfo(std::shared_ptr<const Fields> fields)
    : fields_(fields ? std::move(fields) : emptyFields()) {}

std::shared_ptr<OvixAdInfo> OvixAdInfo::copy() const {
  return std::make_shared<OvixAdInfo>(fields());
}

std::shared_ptr<const OvixAdInfo::Fields> OvixAdInfo::fields() const {
  SpinGuard guard(lock_);
  return fields_;
}

template <class Member, class Value>
void OvixAdInfo::change(Member member, Value value) {
  for (;;) {
    const auto current = fields();
    auto next = std::make_shared<Fields>(*current);
    (*next).*member = value;
    SpinGuard guard(lock_);
    // Changed meanwhile on another thread: start again from that change.
    if (fields_ != current) continue;
    fields_ = std::move(next);  // `current` still holds the old values
    return;
  }
}

void OvixAdInfo::setInfeedId(std::string value) {
  change(&Fields::infeedId, std::move(value));
}
void OvixAdInfo::setImageUrl(std::string value) {
  change(&Fields::imageUrl, std::move(value));
}
void OvixAdInfo::setAdvertiser(std::string value) {
  change(&Fields::advertiser, std::move(value));
}
void OvixAdInfo::setTitle(std::string value) {
  change(&Fields::title, std::move(value));
}
void OvixAdInfo::setDescript(std::string value) {
  change(&Fields::descript, std::move(value));
}
void OvixAdInfo::setImpUrl(std::vector<std::string> value) {
  change(&Fields::impUrl, std::move(value));
}
void OvixAdInfo::setViewableImpUrl(std::vector<std::string> value) {
  change(&Fields::viewableImpUrl, std::move(value));
}
void OvixAdInfo::setClickUrl(std::string value) {
  change(&Fields::clickUrl, std::move(value));
}
void OvixAdInfo::setUuid(std::string value) {
  change(&Fields::uuid, std::move(value));
}

}  // namespace ovix
