#include "Stats.hpp"

namespace ovix::devserver {
namespace {

nlohmann::json toJson(const AdCounts& counts) {
  return {{"served", counts.served},
          {"impressions", counts.impressions},
          {"viewable_impressions", counts.viewableImpressions},
          {"clicks", counts.clicks}};
}

}  // namespace

nlohmann::json Stats::toJson() const {
  nlohmann::json perAd = nlohmann::json::object();
  for (const auto& [id, counts] : ads) perAd[id] = devserver::toJson(counts);
  return {{"ads", std::move(perAd)},
          {"totals", devserver::toJson(totals)},
          {"privacy", privacy.toJson()}};
}

Counters::Counters(const std::vector<std::string>& adIds) {
  for (const auto& id : adIds) counts_.emplace(id, AdCounts{});
}

bool Counters::count(const std::string& id, Event event) {
  std::lock_guard lock(mutex_);
  const auto found = counts_.find(id);
  if (found == counts_.end()) return false;
  AdCounts& counts = found->second;
  switch (event) {
    case Event::served:
      ++counts.served;
      break;
    case Event::impression:
      ++counts.impressions;
      break;
    case Event::viewableImpression:
      ++counts.viewableImpressions;
      break;
    case Event::click:
      ++counts.clicks;
      break;
  }
  return true;
}

void Counters::count(const RequestPrivacy& privacy) {
  std::lock_guard lock(mutex_);
  privacy_.add(privacy);
}

Stats Counters::stats() const {
  Stats stats;
  {
    std::lock_guard lock(mutex_);
    stats.ads.insert(counts_.begin(), counts_.end());
    stats.privacy = privacy_;
  }
  for (const auto& [id, counts] : stats.ads) {
    stats.totals.served += counts.served;
    stats.totals.impressions += counts.impressions;
    stats.totals.viewableImpressions += counts.viewableImpressions;
    stats.totals.clicks += counts.clicks;
  }
  return stats;
}

}  // namespace ovix::devserver
