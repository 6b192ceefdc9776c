#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/json/Json.hpp"
#include "ovix/OvixAdInfo.hpp"

namespace ovix {

// Turns a decoded ad server answer into records. Lenient: what has the wrong
// shape is skipped or left empty, never an error. Holds no state; any thread.
class OvixJsonParser {
 public:
  using List = std::vector<std::shared_ptr<OvixAdInfo>>;

  OvixJsonParser() = default;
  // Logs "deinit".
  ~OvixJsonParser();
  OvixJsonParser(const OvixJsonParser&) = delete;
  OvixJsonParser& operator=(const OvixJsonParser&) = delete;

  // The records of every slot of {"ads": {slot: [ad, ...]}, "errors": {...}},
  // each slot's in array order, each with a new uuid: at most the first 1000
  // of the answer, the rest logged as dropped. A string longer than 8 KiB
  // counts as a value of the wrong type, and so does a slot id that long. The
  // records of one answer, and their copies, share one block of values,
  // released with the last of them.
  List parse(const std::optional<json::Value>& answer);

 private:
  using Values = std::vector<OvixAdInfo::Fields>;
  // The records parsed so far, and the ads beyond the bound.
  struct Collected {
    Values values;
    std::size_t dropped = 0;
  };

  void parseSlots(simdjson::dom::object ads, Collected& into);
  void parseSlot(simdjson::dom::array ads, std::string_view infeedId, Collected& into);
  void parseAd(simdjson::dom::object ad, std::string_view infeedId, Values& into);
};

}  // namespace ovix
