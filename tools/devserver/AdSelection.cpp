#include "AdSelection.hpp"

#include <algorithm>
#include <cmath>

namespace ovix::devserver {
namespace {

// Only "infeeds" is required; the others, when sent, must have these types.
constexpr const char* kStrings[] = {"advertising_id", "app", "version"};
constexpr const char* kNumbers[] = {"lat", "lon", "altitude"};

// The count asked for a slot: a whole number, 0 or more.
Result<std::size_t> countOf(const std::string& slot, const nlohmann::json& entry) {
  const std::string what = "\"infeeds\".\"" + slot + "\"";
  if (!entry.is_object()) return Failure{what + " must be an object with a \"count\""};
  const auto count = entry.find("count");
  if (count == entry.end()) return Failure{what + " has no \"count\""};
  if (count->is_number_unsigned()) return count->get<std::size_t>();
  if (count->is_number_float()) {
    const double value = count->get<double>();
    if (value >= 0 && value <= 1e9 && std::floor(value) == value) {
      return static_cast<std::size_t>(value);
    }
  }
  return Failure{what + ".\"count\" must be a whole number, 0 or more"};
}

}  // namespace

Result<AdSelection> selectAds(const Inventory& inventory, std::string_view body) {
  const auto request = nlohmann::json::parse(body, nullptr, false);
  if (request.is_discarded()) return Failure{"the body is not valid JSON"};
  if (!request.is_object()) return Failure{"the body must be a JSON object"};
  for (const char* name : kStrings) {
    const auto found = request.find(name);
    if (found != request.end() && !found->is_string()) {
      return Failure{std::string("\"") + name + "\" must be a string"};
    }
  }
  for (const char* name : kNumbers) {
    const auto found = request.find(name);
    if (found != request.end() && !found->is_number()) {
      return Failure{std::string("\"") + name + "\" must be a number"};
    }
  }
  auto privacy = readPrivacy(request);
  if (!privacy) return Failure{privacy.error().message};
  const auto infeeds = request.find("infeeds");
  if (infeeds == request.end()) return Failure{"the body has no \"infeeds\""};
  if (!infeeds->is_object()) return Failure{"\"infeeds\" must be an object of slot ids"};

  AdSelection selection{{{"ads", nlohmann::json::object()}, {"errors", nlohmann::json::object()}},
                        {},
                        std::move(privacy.value())};
  for (const auto& [slot, entry] : infeeds->items()) {
    const auto count = countOf(slot, entry);
    if (!count) return Failure{count.error().message};
    const auto* ads = inventory.slot(slot);
    if (!ads) {
      selection.answer["errors"][slot] = "unknown infeed id";
      continue;
    }
    auto& list = selection.answer["ads"][slot] = nlohmann::json::array();
    const std::size_t taken = std::min(count.value(), ads->size());
    for (std::size_t i = 0; i < taken; ++i) {
      list.push_back((*ads)[i].fields);
      selection.served.push_back((*ads)[i].id);
    }
  }
  return selection;
}

}  // namespace ovix::devserver
