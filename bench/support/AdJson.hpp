#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Ad server answers made up for the benchmarks: realistic ads of about 800
// bytes of JSON each, with a title, description, advertiser, image and click
// URL and three impression URLs (two impressions, one viewable impression).
namespace ovix::bench {

// Which URLs the ads carry. kNone leaves the image URL empty and the
// impression lists empty, so binding and impressions start no transfer.
enum class Urls { kAll, kNone };

// The JSON object of ad `index` of slot `infeedId`. With Urls::kAll every ad
// is the same size, kAdBytes.
std::string adJson(std::size_t index, const std::string& infeedId, Urls urls = Urls::kAll);
inline constexpr std::size_t kAdBytes = 800;

// The slot ids "slot-0", "slot-1", ...
std::vector<std::string> slotIds(std::size_t slots);

// {"ads": {slot: [ad, ...], ...}, "errors": {}} with `ads` ads, numbered from
// `first`, dealt evenly over `slots` slots.
std::string answerJson(std::size_t ads, std::size_t slots, Urls urls = Urls::kAll,
                       std::size_t first = 0);

}  // namespace ovix::bench
