#pragma once

#include <map>
#include <optional>
#include <string>

#include "Result.hpp"
#include "encoders/ImageEncoders.hpp"

namespace ovix::devserver {

struct EncodedImage {
  std::string contentType;
  encoders::Bytes bytes;
};

// The server's banners: each design ("sunrise", "ocean", "forest", "berry",
// "coral", "slate", "sand") 640 by 360 pixels, a coloured ground with a
// simple shape, encoded as PNG, JPEG, GIF and WebP. Keyed by file name, such
// as "ocean.webp". Fails only when a codec library does. Any thread.
Result<std::map<std::string, EncodedImage>> makeSampleImages();

// The ground colour of banner `name` ("ocean.webp"), which fills at least the
// top-left eighth of its width and height and differs from every other
// design's by 60 or more in some channel; nothing for a name of no design.
// Any thread.
std::optional<encoders::Rgba8> groundColor(const std::string& name);

}  // namespace ovix::devserver
