#include "unit/gfx/EncodedImages.hpp"

#include <zlib.h>

#include <cmath>
#include <stdexcept>

namespace ovix::test {
namespace {

void put(Bytes& bytes, std::size_t at, std::uint32_t value, int size, bool bigEndian) {
  for (int i = 0; i < size; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (bigEndian ? size - 1 - i : i)));
  }
}

}  // namespace

std::uint32_t expectedArgb(Rgba8 c) {
  const auto times = [&](int i) {
    return static_cast<std::uint32_t>(std::lround(c[i] * c[3] / 255.0));
  };
  return std::uint32_t{c[3]} << 24 | times(0) << 16 | times(1) << 8 | times(2);
}

std::size_t gifImageDescriptor(const Bytes& gif) {
  std::size_t at = 13;  // header and logical screen descriptor
  if (gif[10] & 0x80) at += 3u << ((gif[10] & 7) + 1);
  while (gif[at] == 0x21) {  // an extension: label, then sub-blocks up to an empty one
    for (at += 2; gif[at] != 0; at += gif[at] + 1) {
    }
    ++at;
  }
  return at;
}

std::size_t jpegMarker(const Bytes& jpeg, std::uint8_t code) {
  for (std::size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xff;) {
    if (jpeg[at + 1] == code) return at;
    at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  }
  return 0;
}

Bytes withSize(Bytes image, std::uint32_t width, std::uint32_t height) {
  if (image[0] == 0x89) {  // PNG: IHDR's data follows the signature and chunk header
    put(image, 16, width, 4, true);
    put(image, 20, height, 4, true);
    put(image, 29, static_cast<std::uint32_t>(crc32(0, image.data() + 12, 17)), 4, true);
  } else if (image[0] == 0xff) {  // JPEG: a baseline frame header
    const std::size_t frame = jpegMarker(image, 0xc0);
    put(image, frame + 5, height, 2, true);
    put(image, frame + 7, width, 2, true);
  } else if (image[0] == 'G') {  // GIF: the logical screen and the first frame
    const std::size_t frame = gifImageDescriptor(image);
    for (std::size_t at : {std::size_t{6}, frame + 5}) {
      put(image, at, width, 2, false);
      put(image, at + 2, height, 2, false);
    }
  } else {  // lossless WebP: 14 bits each of width - 1 and height - 1 after 0x2f
    if (image[15] != 'L' || width > 16384 || height > 16384) {
      throw std::runtime_error("not a lossless WebP size");
    }
    const std::uint32_t flags = image[24] & 0xf0;
    put(image, 21, (width - 1) | (height - 1) << 14 | flags << 24, 4, false);
  }
  return image;
}

}  // namespace ovix::test
