#include "ovix/OvixJsonParser.hpp"

#include <algorithm>

#include "Limits.hpp"
#include "ovix/common/Log.hpp"
#include "platform/identity/Uuid.hpp"

namespace ovix {
namespace {

// The value as a string of at most limits::kMaximumStringBytes; none for
// another type or a longer string.
std::optional<std::string_view> textOf(simdjson::dom::element value) {
  std::string_view text;
  if (value.get(text) || text.size() > limits::kMaximumStringBytes) return std::nullopt;
  return text;
}

// The member's value when it is a string, else "".
std::string stringOf(simdjson::dom::element value) {
  return std::string(textOf(value).value_or(std::string_view()));
}

// The member's value when it is an array of strings only, else empty.
std::vector<std::string> stringsOf(simdjson::dom::element value) {
  simdjson::dom::array array;
  if (value.get(array)) return {};
  std::vector<std::string> strings;
  strings.reserve(array.size());
  for (simdjson::dom::element item : array) {
    const auto text = textOf(item);
    if (!text) return {};
    strings.emplace_back(*text);
  }
  return strings;
}

}  // namespace

OvixJsonParser::~OvixJsonParser() {
  ULog("deinit", "deinit");
}

OvixJsonParser::List OvixJsonParser::parse(const std::optional<json::Value>& answer) {
  ULog("parse", "START");
  List records;
  simdjson::dom::object root;
  if (!answer || answer->element().get(root)) return records;

  simdjson::dom::element errors;
  if (!root["errors"].get(errors) && errors.is_object()) ULogPrints(answer->at(errors));

  simdjson::dom::element ads;
  if (root["ads"].get(ads) || !ads.is_object()) return records;
  ULogPrints(answer->at(ads));
  Collected collected;
  parseSlots(simdjson::dom::object(ads), collected);
  Values& values = collected.values;
  // One block for the answer's values: copying a record then counts a
  // reference to the block, which the answer's records share, instead of one
  // of its own scattered over the heap.
  const auto block = std::make_shared<const Values>(std::move(values));
  records.reserve(block->size());
  for (const OvixAdInfo::Fields& fields : *block) {
    records.push_back(
        std::make_shared<OvixAdInfo>(std::shared_ptr<const OvixAdInfo::Fields>(block, &fields)));
  }
  ULog("parse", "END");
  return records;
}

void OvixJsonParser::parseSlots(simdjson::dom::object ads, Collected& into) {
  ULog("parse(_:into:)", "START");
  std::size_t most = 0;
  for (auto [infeedId, slot] : ads) {
    simdjson::dom::array array;
    if (!slot.get(array)) most += array.size();
  }
  into.values.reserve(std::min(most, limits::kMaximumAdsPerAnswer));
  for (auto [infeedId, slot] : ads) {
    simdjson::dom::array array;
    if (infeedId.size() <= limits::kMaximumStringBytes && !slot.get(array)) {
      parseSlot(array, infeedId, into);
    }
  }
  if (into.dropped > 0) {
    ULog("parse(_:into:)", "Dropped " + std::to_string(into.dropped) + " ads beyond the first " +
                               std::to_string(limits::kMaximumAdsPerAnswer) + " of the answer.");
  }
  ULog("parse(_:into:)", "END");
}

void OvixJsonParser::parseSlot(simdjson::dom::array ads, std::string_view infeedId,
                               Collected& into) {
  ULog("parse(_:for:into:)", "START");
  for (simdjson::dom::element item : ads) {
    simdjson::dom::object ad;
    if (item.get(ad)) continue;
    if (into.values.size() == limits::kMaximumAdsPerAnswer) {
      ++into.dropped;
    } else {
      parseAd(ad, infeedId, into.values);
    }
  }
  ULog("parse(_:for:into:)", "END");
}

void OvixJsonParser::parseAd(simdjson::dom::object ad, std::string_view infeedId, Values& into) {
  ULog("parse(_:for:into:)", "START");
  OvixAdInfo::Fields fields;
  fields.infeedId = infeedId;
  fields.uuid = identity::makeUuidString();
  for (auto [name, value] : ad) {
    if (name == "title") {
      fields.title = stringOf(value);
    } else if (name == "description") {
      fields.descript = stringOf(value);
    } else if (name == "image_url") {
      fields.imageUrl = stringOf(value);
    } else if (name == "displayed_advertiser") {
      fields.advertiser = stringOf(value);
    } else if (name == "imp_url") {
      fields.impUrl = stringsOf(value);
    } else if (name == "view_imp_url") {
      fields.viewableImpUrl = stringsOf(value);
    } else if (name == "click_url") {
      fields.clickUrl = stringOf(value);
    }
  }
  into.push_back(std::move(fields));
  ULog("parse(_:for:into:)", "END");
}

}  // namespace ovix
