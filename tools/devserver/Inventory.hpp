#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "Result.hpp"

namespace ovix::devserver {

// One ad as the server hands it out.
struct Ad {
  // Names the ad in beacon paths and in the stats: letters, digits, '.', '_'
  // and '-'. The file's "id", else "<slot>-<n>" counting from 1.
  std::string id;
  // The ad object as answered: the file's members less "id".
  nlohmann::json fields;
};

// The ads the server hands out, per slot id, in the order of their file:
//
//   {"top-feed": [{"id": "top-1", "title": "...", "description": "...",
//                  "image_url": "https://...", "displayed_advertiser": "...",
//                  "click_url": "https://...", "imp_url": ["https://..."],
//                  "view_imp_url": ["https://..."]}, ...], ...}
//
// Every member is optional; those named here must have these types, and
// others are answered as they are. Immutable once made; any thread.
class Inventory {
 public:
  using Slots = std::map<std::string, std::vector<Ad>, std::less<>>;

  Inventory() = default;

  // Refuses text that is not of the form above, naming the first fault.
  static Result<Inventory> parse(std::string_view json);
  static Result<Inventory> load(const std::filesystem::path& file);

  const Slots& slots() const { return slots_; }
  // The ads of slot `id`; null when there is no such slot.
  const std::vector<Ad>* slot(std::string_view id) const;
  // The ad named `id`; null when there is none.
  const Ad* ad(std::string_view id) const;

 private:
  Slots slots_;
};

}  // namespace ovix::devserver
