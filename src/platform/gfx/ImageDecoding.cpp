#include "ovix/platform/ImageDecoding.hpp"

#include <cstring>
#include <new>

#include "platform/gfx/Codecs.hpp"

namespace ovix::gfx {
namespace {

struct Codec {
  std::optional<PixelSize> (*size)(const std::uint8_t*, std::size_t, DecodeHint);
  std::shared_ptr<const Image> (*decode)(const std::uint8_t*, std::size_t, DecodeHint,
                                         DecodeLimits);
};

bool startsWith(const std::uint8_t* data, std::size_t size, const char* magic, std::size_t length,
                std::size_t offset = 0) {
  return size >= offset + length && std::memcmp(data + offset, magic, length) == 0;
}

// The codec the leading bytes name, or null.
const Codec* codecOf(const std::uint8_t* data, std::size_t size) {
  static constexpr Codec kPng{&codecs::pngSize, &codecs::decodePng};
  static constexpr Codec kJpeg{&codecs::jpegSize, &codecs::decodeJpeg};
  static constexpr Codec kGif{&codecs::gifSize, &codecs::decodeGif};
  static constexpr Codec kWebp{&codecs::webpSize, &codecs::decodeWebp};
  if (!data) return nullptr;
  if (startsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return &kPng;
  if (startsWith(data, size, "\xff\xd8\xff", 3)) return &kJpeg;
  if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6)) return &kGif;
  if (startsWith(data, size, "RIFF", 4) && startsWith(data, size, "WEBP", 4, 8)) return &kWebp;
  return nullptr;
}

}  // namespace

std::optional<PixelSize> decodedSize(const void* data, std::size_t size, DecodeHint hint) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const Codec* codec = codecOf(bytes, size);
  try {
    if (codec) return codec->size(bytes, size, hint);
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

std::shared_ptr<const Image> decodeImage(const void* data, std::size_t size, DecodeHint hint,
                                         DecodeLimits limits) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  const Codec* codec = codecOf(bytes, size);
  try {
    if (codec) return codec->decode(bytes, size, hint, limits);
  } catch (const std::bad_alloc&) {
  }
  return nullptr;
}

}  // namespace ovix::gfx
