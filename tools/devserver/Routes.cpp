#include "Routes.hpp"

#include <string_view>

#include "AdSelection.hpp"

namespace ovix::devserver {
namespace {

constexpr const char* kIndex =
    "ovix serve: a development ad server\n"
    "  POST /ad/v2.ios    ads for {\"infeeds\": {\"<slot>\": {\"count\": N}}}\n"
    "  GET  /images/NAME  sample banners\n"
    "  GET  /imp/ID       impression beacon\n"
    "  GET  /vimp/ID      viewable-impression beacon\n"
    "  GET  /click/ID     landing page\n"
    "  GET  /stats        counts per ad, and of privacy signals\n";

// What follows `prefix` in `path` when it is an id: letters, digits, '.',
// '_' and '-'.
std::optional<std::string> idAfter(std::string_view path, std::string_view prefix) {
  if (!path.starts_with(prefix) || path.size() == prefix.size()) return std::nullopt;
  const std::string_view id = path.substr(prefix.size());
  for (const char c : id) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!allowed) return std::nullopt;
  }
  return std::string(id);
}

std::string escapeHtml(const std::string& text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string field(const Ad& ad, const char* name) {
  const auto found = ad.fields.find(name);
  return found != ad.fields.end() && found->is_string() ? found->get<std::string>() : "";
}

std::string landingPage(const Ad& ad) {
  return "<!doctype html>\n<html><head><meta charset=\"utf-8\"><title>" +
         escapeHtml(field(ad, "title")) + "</title></head>\n<body><h1>" +
         escapeHtml(field(ad, "title")) + "</h1>\n<p>" + escapeHtml(field(ad, "description")) +
         "</p>\n<p>" + escapeHtml(field(ad, "displayed_advertiser")) +
         " &middot; served by ovix serve</p></body></html>\n";
}

Answer noSuch(const char* what, std::string note = "") {
  return Answer{.status = 404,
                .contentType = "text/plain",
                .body = std::string("no such ") + what + "\n",
                .note = std::move(note)};
}

}  // namespace

Routes::Routes(const Inventory& inventory, const Faults& faults, Counters& counters,
               std::map<std::string, EncodedImage> images)
    : inventory_(inventory), faults_(faults), counters_(counters), images_(std::move(images)) {}

Answer Routes::route(const Exchange& exchange) const {
  const std::string& path = exchange.path;
  if (exchange.method == "POST" && path == "/ad/v2.ios") return ads(exchange.body);
  if (exchange.method != "GET" && exchange.method != "HEAD") return Answer{.status = 404};
  if (const auto name = idAfter(path, "/images/")) return image(*name);
  if (const auto id = idAfter(path, "/imp/")) return beacon(*id, Counters::Event::impression);
  if (const auto id = idAfter(path, "/vimp/")) {
    return beacon(*id, Counters::Event::viewableImpression);
  }
  if (const auto id = idAfter(path, "/click/")) return click(*id);
  if (path == "/stats") {
    return Answer{.contentType = "application/json",
                  .body = counters_.stats().toJson().dump(2) + "\n"};
  }
  if (path == "/") return Answer{.contentType = "text/plain; charset=utf-8", .body = kIndex};
  return Answer{.status = 404};
}

Answer Routes::ads(const std::string& body) const {
  auto selection = selectAds(inventory_, body);
  if (!selection) {
    return Answer{.status = 400,
                  .contentType = "application/json",
                  .body = nlohmann::json{{"error", selection.error().message}}.dump() + "\n",
                  .note = selection.error().message};
  }
  const RequestPrivacy& privacy = selection.value().privacy;
  counters_.count(privacy);
  Answer answer{.status = faults_.status.value_or(200), .delay = faults_.delay};
  const auto count = selection.value().served.size();
  answer.note = std::to_string(count) + (count == 1 ? " ad" : " ads");
  if (faults_.delay.count() > 0) {
    answer.note += ", delayed " + std::to_string(faults_.delay.count()) + " ms";
  }
  if (faults_.garbage) answer.note += ", garbage body";
  if (const auto said = privacy.note(); !said.empty()) answer.note += ", " + said;
  if (faults_.garbage) {
    answer.contentType = "text/html";
    answer.body = "<html><body>502 Bad Gateway</body></html>\n";
    return answer;
  }
  for (const auto& served : selection.value().served) {
    counters_.count(served, Counters::Event::served);
  }
  answer.contentType = "application/json";
  answer.body = selection.value().answer.dump() + "\n";
  return answer;
}

Answer Routes::beacon(const std::string& id, Counters::Event event) const {
  if (!counters_.count(id, event)) return noSuch("ad", "unknown ad");
  return Answer{.status = 204};
}

Answer Routes::click(const std::string& id) const {
  const Ad* ad = inventory_.ad(id);
  if (!ad) return noSuch("ad", "unknown ad");
  counters_.count(ad->id, Counters::Event::click);
  return Answer{.contentType = "text/html; charset=utf-8", .body = landingPage(*ad)};
}

Answer Routes::image(const std::string& name) const {
  const auto found = images_.find(name);
  if (found == images_.end()) return noSuch("image");
  const bool slow = faults_.imageDelay.count() > 0 &&
                    (!faults_.slowImages || faults_.slowImages->contains(found->first));
  const EncodedImage& image = found->second;
  Answer answer{.contentType = image.contentType,
                .body = std::string(image.bytes.begin(), image.bytes.end()),
                .note = image.contentType};
  if (slow) {
    answer.delay = faults_.imageDelay;
    answer.note += ", delayed " + std::to_string(faults_.imageDelay.count()) + " ms";
  }
  return answer;
}

}  // namespace ovix::devserver
