#pragma once

#include <map>
#include <string>

#include "Result.hpp"
#include "encoders/ImageEncoders.hpp"

namespace ovix::devserver {

struct EncodedImage {
  std::string contentType;
  encoders::Bytes bytes;
};

// The server's banners: each design ("sunrise", "ocean", "forest", "berry")
// 640 by 360 pixels, a coloured ground with a simple shape, encoded as PNG,
// JPEG, GIF and WebP. Keyed by file name, such as "ocean.webp". Fails only
// when a codec library does. Any thread.
Result<std::map<std::string, EncodedImage>> makeSampleImages();

}  // namespace ovix::devserver
