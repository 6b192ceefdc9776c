#include "support/Photo.hpp"

#include <algorithm>
#include <cmath>

namespace ovix::bench {

encoders::Bytes photoJpeg(int width, int height) {
  encoders::RgbaImage image(width, height);
  const auto channel = [](double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
  };
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double wave = std::sin(x * 0.05) * std::cos(y * 0.07);
      const std::uint8_t noise = static_cast<std::uint8_t>((x * 7919 + y * 104729) % 23);
      image.at(x, y) = {channel(128 + 100 * wave + noise), channel(x * 255.0 / width),
                        channel(y * 255.0 / height + noise), 255};
    }
  }
  return encoders::encodeJpeg(image);
}

}  // namespace ovix::bench
