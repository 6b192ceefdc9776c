#include "ovix/platform/ImageDecoding.hpp"

#include <cstring>
#include <new>

#include "Codecs.hpp"

namespace ovix::gfx {
namespace {

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t length,
                std::size_t offset = 0) {
  return size >= offset + length && std::memcmp(data + offset, magic, length) == 0;
}

}  // namespace

std::shared_ptr<const Image> decodeImage(const void* data, std::size_t size, DecodeHint hint) {
  if (!data) return nullptr;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  try {
    if (startsWith(bytes, size, "\x89PNG\r\n\x1a\n", 8)) return codecs::decodePng(bytes, size);
    if (startsWith(bytes, size, "\xff\xd8\xff", 3)) return codecs::decodeJpeg(bytes, size, hint);
    if (startsWith(bytes, size, "GIF87a", 6) || startsWith(bytes, size, "GIF89a", 6)) {
      return codecs::decodeGif(bytes, size);
    }
    if (startsWith(bytes, size, "RIFF", 4) && startsWith(bytes, size, "WEBP", 4, 8)) {
      return codecs::decodeWebp(bytes, size);
    }
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

}  // namespace ovix::gfx
