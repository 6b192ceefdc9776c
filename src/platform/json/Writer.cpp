#include "platform/json/Writer.hpp"

#include <cmath>

namespace ovix::json {
namespace {

constexpr std::int64_t kWriteInvalid = 3852;

bool allNumbersFinite(const nlohmann::json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    for (const auto& item : value) {
      if (!allNumbersFinite(item)) return false;
    }
  }
  return true;
}

}  // namespace

Result<std::string> writePretty(const nlohmann::json& value) {
  if (!allNumbersFinite(value)) {
    return Error(Error::kJSONDomain, kWriteInvalid,
                 "Invalid number value (non-finite) in JSON write");
  }
  try {
    return value.dump(2);
  } catch (const nlohmann::json::exception& error) {
    return Error(Error::kJSONDomain, kWriteInvalid,
                 std::string("Invalid value in JSON write: ") + error.what());
  }
}

}  // namespace ovix::json
