// The ad server's answer as a load handles it: raw bytes decoded, parsed into
// records and added to an inventory, which then rotates and claims them.
#include <map>
#include <set>
#include <string_view>

#include "fuzz/FuzzSupport.hpp"
#include "ovix/OvixJsonParser.hpp"
#include "platform/json/Json.hpp"
#include "ovix/model/OvixAds.hpp"

namespace ovix::fuzz {

int fuzzResponse(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto decoded = json::decode(bytes);
  if (!decoded) {
    OVIX_FUZZ_CHECK(decoded.error().domain() == Error::kJSONDomain);
    OVIX_FUZZ_CHECK(decoded.error().code() == 3840);
    return 0;
  }
  // What the log shows of it must decode to a value again.
  OVIX_FUZZ_CHECK(json::decode(json::describe(decoded.value())));

  const auto records = OvixJsonParser().parse(decoded.value());
  std::set<std::string> uuids;
  std::map<std::string, std::size_t> perSlot;
  for (const auto& record : records) {
    OVIX_FUZZ_CHECK(record != nullptr);
    OVIX_FUZZ_CHECK(record->uuid().size() == 36);
    OVIX_FUZZ_CHECK(uuids.insert(record->uuid()).second);
    ++perSlot[record->infeedId()];
  }

  OvixAds ads;
  ads.add(records);
  ads.add(records);  // a second answer: stored as itself, not copied
  const auto stored = ads.ads();
  OVIX_FUZZ_CHECK(records.empty() ? !stored : stored && stored->size() == 2 * records.size());
  for (const auto& [slot, count] : perSlot) {
    // A slot hands out each of its records before it starts again.
    std::map<std::string, int> seen;
    for (std::size_t i = 0; i < 2 * count; ++i) {
      const auto next = ads.hasNextAd(slot);
      OVIX_FUZZ_CHECK(next && next->infeedId() == slot);
      ++seen[next->uuid()];
    }
    for (const auto& [uuid, times] : seen) OVIX_FUZZ_CHECK(times == 2);
  }
  for (const auto& uuid : uuids) {
    OVIX_FUZZ_CHECK(ads.claimImpression(uuid) != nullptr);
    OVIX_FUZZ_CHECK(ads.claimImpression(uuid) == nullptr);
  }
  OVIX_FUZZ_CHECK(ads.impressed().size() == uuids.size());
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzResponse)
