#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "Exchange.hpp"
#include "Inventory.hpp"
#include "SampleImages.hpp"
#include "Stats.hpp"

namespace ovix::devserver {

// Ways to make answers go wrong or slow, for trying a host's error handling.
struct Faults {
  std::chrono::milliseconds delay{0};       // waited before each ad answer
  std::optional<int> status;                // each ad answer's status, 200 to 599; body unchanged
  bool garbage = false;                     // ad answers carry a body that is not JSON
  std::chrono::milliseconds imageDelay{0};  // waited before each slow image's answer
  // The slow images by file name, such as "ocean.png"; nothing: every image.
  std::optional<std::set<std::string>> slowImages;
};

// The development ad server's endpoints, for either transport:
//   POST /ad/v2.ios      the ad answer (see selectAds), its log note naming the
//                        privacy members the request carried (see RequestPrivacy);
//                        400 and {"error": "..."} for a body of another shape
//   GET /images/NAME     the sample banners (see makeSampleImages)
//   GET /imp/ID          counts an impression of ad ID; 204, or 404 for no such ad
//   GET /vimp/ID         the same for a viewable impression
//   GET /click/ID        counts a click and shows a landing page
//   GET /stats           the counts as JSON (see Stats::toJson)
//   GET /                what it serves, as text
// HEAD is answered as GET; anything else is 404. The faults' delays come as
// the answers' delays, for the transport to wait. Thread-safe.
class Routes {
 public:
  // Keeps references to `inventory`, `faults` and `counters`, which must
  // outlive it.
  Routes(const Inventory& inventory, const Faults& faults, Counters& counters,
         std::map<std::string, EncodedImage> images);

  // Counts what the request does, and answers it.
  Answer route(const Exchange& exchange) const;

 private:
  Answer ads(const std::string& body) const;
  Answer beacon(const std::string& id, Counters::Event event) const;
  Answer click(const std::string& id) const;
  Answer image(const std::string& name) const;

  const Inventory& inventory_;
  const Faults& faults_;
  Counters& counters_;
  const std::map<std::string, EncodedImage> images_;
};

}  // namespace ovix::devserver
