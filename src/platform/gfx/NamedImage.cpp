#include <fstream>
#include <iterator>
#include <new>
#include <vector>

#include "ovix/platform/Bundle.hpp"
#include "ovix/platform/Image.hpp"
#include "ovix/platform/ImageDecoding.hpp"

namespace ovix::gfx {
namespace {

// Larger resource files are not images the SDK ships.
constexpr std::streamoff kMaxFileBytes = 64 * 1024 * 1024;

}  // namespace

std::shared_ptr<const Image> Image::named(const std::string& name, const Bundle& bundle) {
  const auto path = bundle.pathForResource(name);
  if (!path) return nullptr;
  std::ifstream file(*path, std::ios::binary | std::ios::ate);
  if (!file) return nullptr;
  const std::streamoff length = file.tellg();
  if (length <= 0 || length > kMaxFileBytes) return nullptr;
  try {
    std::vector<char> bytes(static_cast<std::size_t>(length));
    file.seekg(0);
    if (!file.read(bytes.data(), length)) return nullptr;
    return decodeImage(bytes.data(), bytes.size());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace ovix::gfx
