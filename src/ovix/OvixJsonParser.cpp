#include "OvixJsonParser.hpp"

#include "common/Log.hpp"
#include "identity/Uuid.hpp"

namespace ovix {
namespace {

// The member's value when it is a string, else "".
std::string stringOf(simdjson::dom::element value) {
  std::string_view text;
  if (value.get(text)) return {};
  return std::string(text);
}

// The member's value when it is an array of strings only, else empty.
std::vector<std::string> stringsOf(simdjson::dom::element value) {
  simdjson::dom::array array;
  if (value.get(array)) return {};
  std::vector<std::string> strings;
  for (simdjson::dom::element item : array) {
    std::string_view text;
    if (item.get(text)) return {};
    strings.emplace_back(text);
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
  parseSlots(answer->at(ads), records);
  ULog("parse", "END");
  return records;
}

void OvixJsonParser::parseSlots(const json::Value& ads, List& into) {
  ULog("parse(_:into:)", "START");
  for (auto [infeedId, slot] : simdjson::dom::object(ads.element())) {
    simdjson::dom::array array;
    if (!slot.get(array)) parseSlot(array, infeedId, into);
  }
  ULog("parse(_:into:)", "END");
}

void OvixJsonParser::parseSlot(simdjson::dom::array ads, std::string_view infeedId, List& into) {
  ULog("parse(_:for:into:)", "START");
  for (simdjson::dom::element item : ads) {
    simdjson::dom::object ad;
    if (!item.get(ad)) parseAd(ad, infeedId, into);
  }
  ULog("parse(_:for:into:)", "END");
}

void OvixJsonParser::parseAd(simdjson::dom::object ad, std::string_view infeedId, List& into) {
  ULog("parse(_:for:into:)", "START");
  auto record = std::make_shared<OvixAdInfo>();
  record->setInfeedId(std::string(infeedId));
  record->setUuid(identity::makeUuidString());
  for (auto [name, value] : ad) {
    if (name == "title") {
      record->setTitle(stringOf(value));
    } else if (name == "description") {
      record->setDescript(stringOf(value));
    } else if (name == "image_url") {
      record->setImageUrl(stringOf(value));
    } else if (name == "displayed_advertiser") {
      record->setAdvertiser(stringOf(value));
    } else if (name == "imp_url") {
      record->setImpUrl(stringsOf(value));
    } else if (name == "view_imp_url") {
      record->setViewableImpUrl(stringsOf(value));
    } else if (name == "click_url") {
      record->setClickUrl(stringOf(value));
    }
  }
  into.push_back(std::move(record));
  ULog("parse(_:for:into:)", "END");
}

}  // namespace ovix
