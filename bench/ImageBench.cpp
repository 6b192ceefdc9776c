// Images: a 640×360 JPEG decoded and redrawn to 120×80, as the image loader
// does for a 120×80 image view, against libjpeg-turbo's plain full-size decode
// of the same file.
#include <benchmark/benchmark.h>

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jpeglib.h>

#include <vector>

#include "ovix/platform/ImageDecoding.hpp"
#include "ovix/platform/ImageDrawing.hpp"
#include "support/Photo.hpp"
#include "support/Summary.hpp"

namespace ovix::bench {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr Size kTarget{120, 80};

const encoders::Bytes& jpeg() {
  static const encoders::Bytes bytes = photoJpeg(kWidth, kHeight);
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
