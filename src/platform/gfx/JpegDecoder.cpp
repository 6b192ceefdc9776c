#include <cstdio>  // before jpeglib.h, which uses FILE

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <vector>

#include "platform/gfx/Codecs.hpp"
#include "platform/gfx/Pixels.hpp"

namespace ovix::gfx::codecs {
namespace {

// libjpeg's own working memory, chiefly a progressive image's coefficients;
// beyond it the read fails instead of growing.
constexpr long kMaxWorkingMemory = 512L * 1024 * 1024;
// Scans a progressive image may have; many tiny scans only burn time.
constexpr int kMaxScans = 500;

constexpr J_COLOR_SPACE kJpegCairoOrder =
    std::endian::native == std::endian::little ? JCS_EXT_BGRA : JCS_EXT_ARGB;

// One libjpeg read. libjpeg reports errors by calling error_exit, which here
// longjmps to the setjmp in each public step, so the steps keep only
// trivially destructible locals; what must be freed lives in this object,
// whose owner sits outside them.
class JpegReader {
 public:
  JpegReader() = default;
  ~JpegReader() {
    if (created_) jpeg_destroy_decompress(&info_);
  }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  // Reads the header and chooses the output size: the smallest DCT scale
  // still at least as large as the hint.
  bool readHeader(const std::uint8_t* data, std::size_t size, DecodeHint hint) {
    info_.err = jpeg_std_error(&errors_);
    errors_.error_exit = &onError;
    errors_.emit_message = &onMessage;
    errors_.output_message = &onOutput;
    info_.client_data = this;
    created_ = true;
    if (setjmp(jump_)) return false;

    jpeg_create_decompress(&info_);
    info_.mem->max_memory_to_use = kMaxWorkingMemory;
    progress_.progress_monitor = &onProgress;
    info_.progress = &progress_;
    jpeg_mem_src(&info_, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info_, TRUE) != JPEG_HEADER_OK) return false;
    if (!pixels::withinLimits(info_.image_width, info_.image_height)) return false;

    cmyk_ = info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK;
    info_.out_color_space = cmyk_ ? JCS_CMYK : kJpegCairoOrder;
    info_.scale_num = 1;
    info_.scale_denom = 1;
    for (unsigned denom = 8; denom > 1 && hint.width > 0 && hint.height > 0; denom /= 2) {
      if ((info_.image_width + denom - 1) / denom >= static_cast<unsigned>(hint.width) &&
          (info_.image_height + denom - 1) / denom >= static_cast<unsigned>(hint.height)) {
        info_.scale_denom = denom;
        break;
      }
    }
    jpeg_calc_output_dimensions(&info_);
    return true;
  }

  int width() const { return static_cast<int>(info_.output_width); }
  int height() const { return static_cast<int>(info_.output_height); }

  // Decodes into `pixels`, width() * height() words.
  bool readImage(std::uint32_t* pixels) {
    if (setjmp(jump_)) return false;
    jpeg_start_decompress(&info_);
    if (info_.output_components != 4) return false;
    while (info_.output_scanline < info_.output_height) {
      std::uint32_t* row = pixels + static_cast<std::size_t>(info_.output_scanline) * width();
      JSAMPROW sample = reinterpret_cast<JSAMPROW>(row);
      if (jpeg_read_scanlines(&info_, &sample, 1) != 1) return false;
      if (cmyk_) convertCmykRow(row);
    }
    return !damaged_;
  }

 private:
  // Inks to RGB the way most viewers do; Adobe's files store inverted inks.
  void convertCmykRow(std::uint32_t* row) const {
    const bool inverted = info_.saw_Adobe_marker;
    for (int x = 0; x < width(); ++x) {
      const auto* ink = reinterpret_cast<const std::uint8_t*>(row + x);
      const auto level = [&](int i) { return inverted ? ink[i] : 255u - ink[i]; };
      const unsigned key = level(3);
      const auto channel = [&](int i) { return static_cast<std::uint8_t>(level(i) * key / 255); };
      row[x] = pixels::premultiplied(0xff, channel(0), channel(1), channel(2));
    }
  }

  static JpegReader& of(j_common_ptr info) { return *static_cast<JpegReader*>(info->client_data); }

  [[noreturn]] static void onError(j_common_ptr info) { std::longjmp(of(info).jump_, 1); }

  // Warnings that mean the pixels are incomplete or garbled fail the read;
  // the rest (stray bytes between markers, odd metadata) are common and
  // harmless.
  static void onMessage(j_common_ptr info, int level) {
    if (level >= 0) return;
    switch (info->err->msg_code) {
      case JWRN_JPEG_EOF:
      case JWRN_HIT_MARKER:
      case JWRN_MUST_RESYNC:
      case JWRN_HUFF_BAD_CODE:
        of(info).damaged_ = true;
        break;
      default:
        break;
    }
  }

  static void onOutput(j_common_ptr) {}

  static void onProgress(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) onError(info);
  }

  jpeg_decompress_struct info_{};
  jpeg_error_mgr errors_{};
  jpeg_progress_mgr progress_{};
  std::jmp_buf jump_{};
  bool created_ = false;
  bool cmyk_ = false;
  bool damaged_ = false;
};

}  // namespace

std::optional<PixelSize> jpegSize(const std::uint8_t* data, std::size_t size, DecodeHint hint) {
  JpegReader reader;
  if (!reader.readHeader(data, size, hint)) return std::nullopt;
  return PixelSize{reader.width(), reader.height()};
}

std::shared_ptr<const Image> decodeJpeg(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                        DecodeLimits limits) {
  JpegReader reader;
  if (!reader.readHeader(data, size, hint)) return nullptr;
  std::vector<std::uint32_t> pixels;
  if (!pixels::allocate(pixels, {reader.width(), reader.height()}, limits)) return nullptr;
  if (!reader.readImage(pixels.data())) return nullptr;
  return Image::fromPixels(reader.width(), reader.height(), std::move(pixels));
}

}  // namespace ovix::gfx::codecs
