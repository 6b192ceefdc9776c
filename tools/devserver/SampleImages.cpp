#include "SampleImages.hpp"

#include <cstdlib>

namespace ovix::devserver {
namespace {

using encoders::Rgba8;
using encoders::RgbaImage;

constexpr int kWidth = 640;
constexpr int kHeight = 360;

enum class Shape { circle, waves, triangle, diamond };

struct Design {
  const char* name;
  Rgba8 ground;
  Rgba8 band;
  Rgba8 shape;
  Shape kind;
};

// Grounds at least 60 apart in some channel, so that a pixel of the ground
// tells the designs apart even after lossy coding and scaling.
constexpr Design kDesigns[] = {
    {"sunrise", {243, 156, 18, 255}, {230, 126, 34, 255}, {254, 231, 92, 255}, Shape::circle},
    {"ocean", {41, 128, 185, 255}, {31, 97, 141, 255}, {236, 240, 241, 255}, Shape::waves},
    {"forest", {39, 174, 96, 255}, {30, 132, 73, 255}, {244, 246, 230, 255}, Shape::triangle},
    {"berry", {142, 68, 173, 255}, {108, 52, 131, 255}, {245, 183, 177, 255}, Shape::diamond},
    {"coral", {231, 76, 60, 255}, {192, 57, 43, 255}, {253, 237, 236, 255}, Shape::circle},
    {"slate", {52, 73, 94, 255}, {44, 62, 80, 255}, {241, 196, 15, 255}, Shape::triangle},
    {"sand", {236, 220, 170, 255}, {211, 190, 140, 255}, {120, 81, 45, 255}, Shape::waves},
};

// Whether pixel (x, y) belongs to the design's shape, centred at (cx, cy).
bool inShape(Shape kind, int x, int y, int cx, int cy) {
  const int dx = x - cx;
  const int dy = y - cy;
  switch (kind) {
    case Shape::circle:
      return dx * dx + dy * dy <= 90 * 90;
    case Shape::waves: {  // three zigzag stripes
      if (std::abs(dx) > 150) return false;
      const int zigzag = std::abs(x % 80 - 40) / 2 - 10;
      for (int stripe = -1; stripe <= 1; ++stripe) {
        if (std::abs(dy - stripe * 60 - zigzag) < 8) return true;
      }
      return false;
    }
    case Shape::triangle:
      return dy >= -90 && dy <= 90 && std::abs(dx) * 2 <= dy + 90;
    case Shape::diamond:
      return std::abs(dx) + std::abs(dy) <= 100;
  }
  return false;
}

// Flat colours only, so that GIF keeps every pixel.
RgbaImage draw(const Design& design) {
  RgbaImage image(kWidth, kHeight, design.ground);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (y >= kHeight * 3 / 4) {
        image.at(x, y) = design.band;
      } else if (inShape(design.kind, x, y, kWidth / 3, kHeight * 3 / 8)) {
        image.at(x, y) = design.shape;
      }
    }
  }
  // A row of five squares on the band stands in for a call to action.
  for (int i = 0; i < 5; ++i) {
    for (int y = kHeight * 13 / 16; y < kHeight * 15 / 16; ++y) {
      for (int x = kWidth / 2 + i * 56; x < kWidth / 2 + i * 56 + 40; ++x) {
        image.at(x, y) = design.shape;
      }
    }
  }
  return image;
}

}  // namespace

Result<std::map<std::string, EncodedImage>> makeSampleImages() {
  std::map<std::string, EncodedImage> images;
  for (const Design& design : kDesigns) {
    const RgbaImage pixels = draw(design);
    const std::string name = design.name;
    images[name + ".png"] = {"image/png", encoders::encodePng(pixels)};
    images[name + ".jpg"] = {"image/jpeg", encoders::encodeJpeg(pixels)};
    images[name + ".gif"] = {"image/gif", encoders::encodeGif(pixels)};
    images[name + ".webp"] = {"image/webp", encoders::encodeWebp(pixels)};
  }
  for (const auto& [name, image] : images) {
    if (image.bytes.empty()) return Failure{"cannot encode the sample image " + name};
  }
  return images;
}

std::optional<encoders::Rgba8> groundColor(const std::string& name) {
  const std::string design = name.substr(0, name.find('.'));
  for (const Design& candidate : kDesigns) {
    if (design == candidate.name) return candidate.ground;
  }
  return std::nullopt;
}

}  // namespace ovix::devserver
