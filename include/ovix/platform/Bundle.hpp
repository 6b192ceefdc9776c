#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "ovix/Export.hpp"

namespace ovix {

// A folder of resources with an info dictionary, as the SDK ships itself.
// Immutable once made; safe to share between threads.
class OVIX_EXPORT Bundle {
 public:
  using InfoValue = std::variant<bool, std::int64_t, double, std::string>;
  using InfoDictionary = std::map<std::string, InfoValue>;

  Bundle(std::string resourcePath, InfoDictionary info);

  // The SDK's own bundle: its installed resources folder (share/ovix beside the
  // library's lib folder) when present, otherwise the source tree's resources.
  // Its info dictionary holds "CFBundleShortVersionString" = the library version.
  static std::shared_ptr<const Bundle> sdk();

  // The host application's bundle identifier; "" until the host sets one.
  static std::string mainBundleIdentifier();
  // Call before the first use of OvixManager.
  static void setMainBundleIdentifier(std::string identifier);

  const std::string& resourcePath() const { return resourcePath_; }
  // The full path of a resource, or nothing when the file is not there.
  std::optional<std::string> pathForResource(const std::string& name) const;
  // The value under `key`, or nothing.
  const InfoValue* objectForInfoDictionaryKey(const std::string& key) const;

 private:
  std::string resourcePath_;
  InfoDictionary info_;
};

}  // namespace ovix
