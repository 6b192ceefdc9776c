#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "Inventory.hpp"
#include "RequestPrivacy.hpp"
#include "Result.hpp"

namespace ovix::devserver {

// What an ad request gets: {"ads": {"<slot>": [ad, ...]}, "errors": {...}}
// and the ids of the ads in it, in order; and what it said about privacy.
struct AdSelection {
  nlohmann::json answer;
  std::vector<std::string> served;
  RequestPrivacy privacy;
};

// Answers the body of an ad request,
//
//   {"infeeds": {"<slot>": {"count": N}, ...}, "advertising_id": "...",
//    "app": "...", "version": "...", "lat": 0, "lon": 0, "altitude": 0},
//
// and the privacy members of readPrivacy,
// with the first N ads of each slot in inventory order; a slot the inventory
// lacks is named in "errors". Refuses a body of another shape, saying why.
// Any thread.
Result<AdSelection> selectAds(const Inventory& inventory, std::string_view body);

}  // namespace ovix::devserver
