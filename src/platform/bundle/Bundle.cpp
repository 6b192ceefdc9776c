#include "ovix/platform/Bundle.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

namespace ovix {
namespace {

namespace fs = std::filesystem;

std::mutex identifierMutex;
std::string hostIdentifier;  // guarded by identifierMutex

// The installed resources folder, found from the library that holds the code
// of this function.
std::optional<fs::path> installedResources() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&installedResources), &info) == 0 || !info.dli_fname) {
    return std::nullopt;
  }
  std::error_code error;
  const fs::path library = fs::canonical(info.dli_fname, error);
  if (error) return std::nullopt;
  const fs::path candidate = library.parent_path() / OVIX_RESOURCES_FROM_LIBDIR;
  if (fs::is_regular_file(candidate / "empty.gif", error)) return candidate;
  return std::nullopt;
}

}  // namespace

Bundle::Bundle(std::string resourcePath, InfoDictionary info)
    : resourcePath_(std::move(resourcePath)), info_(std::move(info)) {}

std::shared_ptr<const Bundle> Bundle::sdk() {
  static const std::shared_ptr<const Bundle> bundle = [] {
    const fs::path resources = installedResources().value_or(fs::path(OVIX_SOURCE_RESOURCES));
    return std::make_shared<const Bundle>(
        resources.string(),
        InfoDictionary{{"CFBundleShortVersionString", std::string(OVIX_VERSION)},
                       {"CFBundleIdentifier", std::string("io.ovix.sdk")}});
  }();
  return bundle;
}

std::string Bundle::mainBundleIdentifier() {
  std::lock_guard lock(identifierMutex);
  return hostIdentifier;
}

void Bundle::setMainBundleIdentifier(std::string identifier) {
  std::lock_guard lock(identifierMutex);
  hostIdentifier = std::move(identifier);
}

std::optional<std::string> Bundle::pathForResource(const std::string& name) const {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  std::error_code error;
  const fs::path path = fs::path(resourcePath_) / name;
  if (!fs::is_regular_file(path, error)) return std::nullopt;
  return path.string();
}

const Bundle::InfoValue* Bundle::objectForInfoDictionaryKey(const std::string& key) const {
  const auto found = info_.find(key);
  return found == info_.end() ? nullptr : &found->second;
}

}  // namespace ovix
