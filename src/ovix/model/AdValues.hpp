#pragma once

#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// A record's values as views. The parser's view a block of an answer's
// strings that their owner keeps alive, and build Fields only when asked; the
// others view the Fields they hold. Filled before it is shared, never changed
// afterwards; any thread.
class OvixAdInfo::Values {
 public:
  using List = std::span<const std::string_view>;

  // Empty views, for the maker to point at strings that outlive this.
  // User-provided, so that an array of them is not zeroed byte by byte first.
  Values() {}  // NOLINT(modernize-use-equals-default)
  // Views of `fields`, which it holds; never null.
  explicit Values(std::shared_ptr<const Fields> fields);
  Values(const Values&) = delete;
  Values& operator=(const Values&) = delete;

  // The values as strings: those held, else built once, at the first call.
  const Fields& fields() const;

  std::string_view infeedId;
  std::string_view imageUrl;
  std::string_view advertiser;
  std::string_view title;
  std::string_view descript;
  List impUrl;
  List viewableImpUrl;
  std::string_view clickUrl;
  std::string_view uuid;

 private:
  std::shared_ptr<const Fields> held_;
  std::unique_ptr<std::string_view[]> heldLists_;  // the views of held_'s lists
  mutable std::once_flag built_;
  mutable std::unique_ptr<const Fields> fields_;  // built from the views
};

}  // namespace ovix
