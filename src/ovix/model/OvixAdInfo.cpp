#include "ovix/OvixAdInfo.hpp"

#include <optional>
#include <thread>

#include "ovix/model/AdValues.hpp"

namespace ovix {
namespace {

const std::shared_ptr<const OvixAdInfo::Values>& emptyValues() {
  static const auto empty =
      std::make_shared<const OvixAdInfo::Values>(std::make_shared<const OvixAdInfo::Fields>());
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

OvixAdInfo::OvixAdInfo() : values_(emptyValues()) {}

OvixAdInfo::OvixAdInfo(Fields fields)
    : values_(std::make_shared<const Values>(std::make_shared<const Fields>(std::move(fields)))) {}

OvixAdInfo::OvixAdInfo(std::shared_ptr<const Fields> fields)
    : values_(fields ? std::make_shared<const Values>(std::move(fields)) : emptyValues()) {}

OvixAdInfo::OvixAdInfo(Key, std::shared_ptr<const Values> values)
    : values_(values ? std::move(values) : emptyValues()) {}

std::shared_ptr<OvixAdInfo> OvixAdInfo::make(std::shared_ptr<const Values> values) {
  return std::make_shared<OvixAdInfo>(Key{}, std::move(values));
}

// Records of count values, those `valueOf` gives for 0 to count - 1, in one
// allocation.
template <class ValueOf>
std::vector<std::shared_ptr<OvixAdInfo>> OvixAdInfo::makeAll(std::size_t count, ValueOf valueOf) {
  const std::shared_ptr<std::optional<OvixAdInfo>[]> block =
      std::make_unique<std::optional<OvixAdInfo>[]>(count);
  std::vector<std::shared_ptr<OvixAdInfo>> records;
  records.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    records.emplace_back(block, &block[i].emplace(Key{}, valueOf(i)));
  }
  return records;
}

std::vector<std::shared_ptr<OvixAdInfo>> OvixAdInfo::make(
    const std::vector<std::shared_ptr<const Values>>& values) {
  return makeAll(values.size(), [&](std::size_t i) { return values[i]; });
}

std::vector<std::shared_ptr<OvixAdInfo>> OvixAdInfo::make(
    const std::shared_ptr<const Values[]>& values, std::size_t count) {
  return makeAll(count,
                 [&](std::size_t i) { return std::shared_ptr<const Values>(values, &values[i]); });
}

std::shared_ptr<OvixAdInfo> OvixAdInfo::copy() const {
  return make(values());
}

std::shared_ptr<const OvixAdInfo::Fields> OvixAdInfo::fields() const {
  auto values = this->values();
  const Fields& fields = values->fields();
  return std::shared_ptr<const Fields>(std::move(values), &fields);
}

std::shared_ptr<const OvixAdInfo::Values> OvixAdInfo::values() const {
  SpinGuard guard(lock_);
  return values_;
}

template <class Member, class Value>
void OvixAdInfo::change(Member member, Value value) {
  for (;;) {
    const auto current = values();
    auto next = std::make_shared<Fields>(current->fields());
    (*next).*member = value;
    auto snapshot = std::make_shared<const Values>(std::move(next));
    SpinGuard guard(lock_);
    // Changed meanwhile on another thread: start again from that change.
    if (values_ != current) continue;
    values_ = std::move(snapshot);  // `current` still holds the old values
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
