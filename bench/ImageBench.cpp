// Images: a 640×360 JPEG decoded and redrawn to 120×80, as the image loader
// does for a 120×80 image view, against libjpeg-turbo's plain full-size decode
// of the same file.
#include <benchmark/benchmark.h>

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "encoders/ImageEncoders.hpp"
#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageDrawing.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr Size kTarget{120, 80};

// A photo-like picture: smooth gradients with fine detail, so the file is
// as busy to decode as a real creative.
const encoders::Bytes& jpeg() {
  static const encoders::Bytes bytes = [] {
    encoders::RgbaImage image(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const double wave = std::sin(x * 0.05) * std::cos(y * 0.07);
        const auto channel = [](double v) {
          return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        };
        const std::uint8_t noise = static_cast<std::uint8_t>((x * 7919 + y * 104729) % 23);
        image.at(x, y) = {channel(128 + 100 * wave + noise), channel(x * 255.0 / kWidth),
                          channel(y * 255.0 / kHeight + noise), 255};
      }
    }
    return encoders::encodeJpeg(image);
  }();
  return bytes;
}

void ImageDecodeAndRedraw(benchmark::State& state) {
  const auto& bytes = jpeg();
  const gfx::DecodeHint hint{static_cast<int>(kTarget.width), static_cast<int>(kTarget.height)};
  for (auto _ : state) {
    const auto decoded = gfx::decodeImage(bytes.data(), bytes.size(), hint);
    const auto drawn = decoded ? gfx::redraw(*decoded, kTarget) : nullptr;
    if (!drawn || drawn->width() != 120 || drawn->height() != 80) {
      state.SkipWithError("not decoded to 120×80");
      break;
    }
    benchmark::DoNotOptimize(drawn->pixels().data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

void LibjpegFullDecode(benchmark::State& state) {
  const auto& bytes = jpeg();
  std::vector<unsigned char> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * kWidth * 3;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
  }
}

BENCHMARK(ImageDecodeAndRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(LibjpegFullDecode)->Unit(benchmark::kMicrosecond);

const bool kImageCompared =
    compare("Image, 640×360 JPEG to 120×80", "ImageDecodeAndRedraw", "LibjpegFullDecode", 1.2);

}  // namespace
}  // namespace ovix::bench
