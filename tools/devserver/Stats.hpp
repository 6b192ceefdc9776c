#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "RequestPrivacy.hpp"

namespace ovix::devserver {

// What happened to one ad, or to all of them.
struct AdCounts {
  std::int64_t served = 0;               // times it was in an ad answer
  std::int64_t impressions = 0;          // hits of its impression beacon
  std::int64_t viewableImpressions = 0;  // hits of its viewable-impression beacon
  std::int64_t clicks = 0;               // visits of its landing page

  friend bool operator==(const AdCounts&, const AdCounts&) = default;
};

// The counts per ad id and their sums, and the privacy of the ad requests.
struct Stats {
  std::map<std::string, AdCounts> ads;
  AdCounts totals;
  PrivacyCounts privacy;

  // {"ads": {"<id>": {"served": n, "impressions": n, "viewable_impressions": n,
  //  "clicks": n}, ...}, "totals": {...}, "privacy": {...}}
  nlohmann::json toJson() const;
};

// Counters for a fixed set of ad ids. Thread-safe.
class Counters {
 public:
  enum class Event { served, impression, viewableImpression, click };

  explicit Counters(const std::vector<std::string>& adIds);

  // Counts one event of ad `id`; false, counting nothing, for an id not in the set.
  bool count(const std::string& id, Event event);
  // Counts the privacy of one well-formed ad request.
  void count(const RequestPrivacy& privacy);
  Stats stats() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, AdCounts, std::less<>> counts_;  // guarded by mutex_
  PrivacyCounts privacy_;                                // guarded by mutex_
};

}  // namespace ovix::devserver
