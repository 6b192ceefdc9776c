#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/error/Result.hpp"

namespace ovix::json {

// Writes `value` as pretty-printed UTF-8 JSON. A non-finite number or a string
// that is not valid UTF-8 is an error of Error::kJSONDomain (code 3852) rather
// than a silent null or replacement. Any thread.
Result<std::string> writePretty(const nlohmann::json& value);

}  // namespace ovix::json
