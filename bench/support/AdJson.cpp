#include "support/AdJson.hpp"

#include <cstdio>
#include <stdexcept>

namespace ovix::bench {
namespace {

std::string number(std::size_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%06zu", value % 1000000);
  return text;
}

std::string jsonString(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

std::string adJson(std::size_t index, const std::string& infeedId, Urls urls) {
  const std::string id = number(index);
  const std::string tracking =
      "?ad=" + id + "&slot=" + infeedId + "&c=7f3a9c2e41b8&sig=" + id + "d41d8cd98f00b204";
  std::string imp = "[]";
  std::string viewable = "[]";
  std::string image;
  if (urls == Urls::kAll) {
    // Appended rather than "[" + ..., which GCC 12 at -O3 warns of wrongly.
    imp = "[";
    imp += jsonString("https://imp.ovix.example/v2/imp" + tracking + "&n=1");
    imp += ",";
    imp += jsonString("https://measure.partner.example/pixel" + tracking + "&n=2");
    imp += "]";
    viewable = "[";
    viewable += jsonString("https://imp.ovix.example/v2/vimp" + tracking);
    viewable += "]";
    image = "https://img.ovix.example/creative/" + id + "/640x360.jpg";
  }
  const std::string head =
      "{\"title\":" + jsonString("Autumn sale " + id + ": 30% off running shoes until Sunday") +
      ",\"displayed_advertiser\":" + jsonString("Northwind Outfitters") +
      ",\"image_url\":" + jsonString(image) + ",\"imp_url\":" + imp +
      ",\"view_imp_url\":" + viewable + ",\"click_url\":" +
      jsonString("https://click.ovix.example/v2/click" + tracking +
                 "&dest=https%3A%2F%2Fshop.northwind.example%2Fsale") +
      ",\"description\":\"";
  std::string description =
      "Light, cushioned and made for long distances: this season's trainers, trail shoes and "
      "racing flats at a price that will not last. Free returns within 30 days.";
  const std::string tail = "\"}";
  if (urls == Urls::kAll) {
    const std::size_t used = head.size() + tail.size();
    if (used + 20 > kAdBytes) throw std::logic_error("the ad outgrew its size");
    description.resize(kAdBytes - used, '.');
  }
  return head + description + tail;
}

std::vector<std::string> slotIds(std::size_t slots) {
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < slots; ++i) ids.push_back("slot-" + std::to_string(i));
  return ids;
}

std::string answerJson(std::size_t ads, std::size_t slots, Urls urls, std::size_t first) {
  const auto ids = slotIds(slots);
  std::string json = "{\"ads\":{";
  for (std::size_t s = 0; s < slots; ++s) {
    if (s != 0) json += ",";
    json += jsonString(ids[s]) + ":[";
    for (std::size_t i = s; i < ads; i += slots) {
      if (i != s) json += ",";
      json += adJson(first + i, ids[s], urls);
    }
    json += "]";
  }
  return json + "},\"errors\":{}}";
}

}  // namespace ovix::bench
