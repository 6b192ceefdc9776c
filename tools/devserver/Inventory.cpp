#include "Inventory.hpp"

#include <fstream>
#include <set>
#include <sstream>

namespace ovix::devserver {
namespace {

constexpr const char* kStringFields[] = {"title", "description", "image_url",
                                         "displayed_advertiser", "click_url"};
constexpr const char* kListFields[] = {"imp_url", "view_imp_url"};

bool isIdentifier(const std::string& id) {
  if (id.empty()) return false;
  for (const char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

bool isStringList(const nlohmann::json& value) {
  if (!value.is_array()) return false;
  for (const auto& item : value) {
    if (!item.is_string()) return false;
  }
  return true;
}

// Checks one ad of `slot` and takes its id out of its fields.
Result<Ad> readAd(const std::string& slot, std::size_t index, nlohmann::json fields) {
  const std::string where = "ad " + std::to_string(index + 1) + " of slot \"" + slot + "\"";
  if (!fields.is_object()) return Failure{where + " is not an object"};
  for (const char* name : kStringFields) {
    const auto found = fields.find(name);
    if (found != fields.end() && !found->is_string()) {
      return Failure{where + ": \"" + name + "\" must be a string"};
    }
  }
  for (const char* name : kListFields) {
    const auto found = fields.find(name);
    if (found != fields.end() && !isStringList(*found)) {
      return Failure{where + ": \"" + name + "\" must be an array of strings"};
    }
  }
  Ad ad{slot + "-" + std::to_string(index + 1), {}};
  if (const auto id = fields.find("id"); id != fields.end()) {
    if (!id->is_string() || !isIdentifier(id->get<std::string>())) {
      return Failure{where + ": \"id\" must be a string of letters, digits, '.', '_' and '-'"};
    }
    ad.id = id->get<std::string>();
    fields.erase(id);
  } else if (!isIdentifier(ad.id)) {
    return Failure{where + " needs an \"id\": its slot id cannot name it"};
  }
  ad.fields = std::move(fields);
  return ad;
}

}  // namespace

Result<Inventory> Inventory::parse(std::string_view json) {
  auto root = nlohmann::json::parse(json, nullptr, false);
  if (root.is_discarded()) return Failure{"the ads are not valid JSON"};
  if (!root.is_object()) return Failure{"the ads must be an object of slot ids"};
  Inventory inventory;
  std::set<std::string> ids;
  for (auto& [slot, ads] : root.items()) {
    if (!ads.is_array()) return Failure{"slot \"" + slot + "\" must be an array of ads"};
    auto& into = inventory.slots_[slot];
    for (std::size_t i = 0; i < ads.size(); ++i) {
      auto ad = readAd(slot, i, std::move(ads[i]));
      if (!ad) return Failure{ad.error().message};
      if (!ids.insert(ad.value().id).second) {
        return Failure{"ad id \"" + ad.value().id + "\" is used twice"};
      }
      into.push_back(std::move(ad.value()));
    }
  }
  return inventory;
}

Result<Inventory> Inventory::load(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return Failure{"cannot read " + file.string()};
  std::ostringstream text;
  text << in.rdbuf();
  auto inventory = parse(text.str());
  if (!inventory) return Failure{file.string() + ": " + inventory.error().message};
  return inventory;
}

const std::vector<Ad>* Inventory::slot(std::string_view id) const {
  const auto found = slots_.find(id);
  return found == slots_.end() ? nullptr : &found->second;
}

const Ad* Inventory::ad(std::string_view id) const {
  for (const auto& [slot, ads] : slots_) {
    for (const Ad& ad : ads) {
      if (ad.id == id) return &ad;
    }
  }
  return nullptr;
}

}  // namespace ovix::devserver
