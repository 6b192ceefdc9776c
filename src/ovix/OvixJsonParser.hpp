#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "ovix/OvixAdInfo.hpp"
#include "platform/json/Json.hpp"

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
};

}  // namespace ovix
