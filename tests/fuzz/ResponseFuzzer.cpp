// The ad server's answer as a load handles it: raw bytes decoded, shown in
// the log and parsed into records. What the inventory does with records is
// the differential test's (OvixAdsDifferentialTest).
#include <set>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/OvixJsonParser.hpp"
#include "platform/json/Json.hpp"

namespace ovix::fuzz {

int fuzzResponse(const std::uint8_t* data, std::size_t size) {
  auto decoded = json::decode(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!decoded) {
    OVIX_FUZZ_CHECK(decoded.error().domain() == Error::kJSONDomain &&
                    decoded.error().code() == 3840);
    return 0;
  }
  // What the log shows of it must decode to a value again.
  OVIX_FUZZ_CHECK(json::decode(json::describe(decoded.value())));
  std::set<std::string> uuids;
  for (const auto& record : OvixJsonParser().parse(decoded.value())) {
    OVIX_FUZZ_CHECK(record && record->uuid().size() == 36 && uuids.insert(record->uuid()).second);
  }
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzResponse)
