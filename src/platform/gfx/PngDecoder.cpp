#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "platform/gfx/Codecs.hpp"
#include "platform/gfx/Pixels.hpp"

namespace ovix::gfx::codecs {
namespace {

// One libpng read. libpng reports errors by longjmp to the setjmp in each
// public step, so the steps keep only trivially destructible locals; what
// must be freed lives in this object, whose owner sits outside them.
class PngReader {
 public:
  PngReader(const std::uint8_t* data, std::size_t size) : next_(data), remaining_(size) {}
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  // Reads the header and sets up conversion to cairo's byte order.
  bool readHeader(int& width, int& height) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &onError, &onWarning);
    if (!png_) return false;
    info_ = png_create_info_struct(png_);
    if (!info_) return false;
    if (setjmp(png_jmpbuf(png_))) return false;

    png_set_read_fn(png_, this, &onRead);
    png_set_user_limits(png_, Image::kMaxSide, Image::kMaxSide);
    png_read_info(png_, info_);

    png_uint_32 w = 0;
    png_uint_32 h = 0;
    int depth = 0;
    int colorType = 0;
    png_get_IHDR(png_, info_, &w, &h, &depth, &colorType, nullptr, nullptr, nullptr);
    if (!pixels::withinLimits(w, h)) return false;

    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png_);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png_);
    if (png_get_valid(png_, info_, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png_);
    if (depth == 16) png_set_scale_16(png_);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png_);
    if constexpr (std::endian::native == std::endian::little) {
      png_set_bgr(png_);
      png_set_filler(png_, 0xff, PNG_FILLER_AFTER);
    } else {
      png_set_swap_alpha(png_);
      png_set_filler(png_, 0xff, PNG_FILLER_BEFORE);
    }
    png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    if (png_get_rowbytes(png_, info_) != static_cast<std::size_t>(w) * 4) return false;

    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
  }

  // Decodes every pass into `rows`, one per image row of width * 4 bytes.
  bool readImage(png_bytepp rows) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_read_image(png_, rows);
    return true;
  }

 private:
  static void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
  static void onWarning(png_structp, png_const_charp) {}

  static void onRead(png_structp png, png_bytep out, std::size_t length) {
    auto* self = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > self->remaining_) png_error(png, "truncated");
    std::memcpy(out, self->next_, length);
    self->next_ += length;
    self->remaining_ -= length;
  }

  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  const std::uint8_t* next_;
  std::size_t remaining_;
};

}  // namespace

std::optional<PixelSize> pngSize(const std::uint8_t* data, std::size_t size, DecodeHint) {
  PngReader reader(data, size);
  PixelSize decoded;
  if (!reader.readHeader(decoded.width, decoded.height)) return std::nullopt;
  return decoded;
}

std::shared_ptr<const Image> decodePng(const std::uint8_t* data, std::size_t size, DecodeHint,
                                       DecodeLimits limits) {
  PngReader reader(data, size);
  int width = 0;
  int height = 0;
  if (!reader.readHeader(width, height)) return nullptr;

  std::vector<std::uint32_t> pixels;
  if (!pixels::allocate(pixels, {width, height}, limits)) return nullptr;
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    rows[y] = reinterpret_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * width);
  }
  if (!reader.readImage(rows.data())) return nullptr;

  pixels::premultiply(pixels.data(), pixels.size());
  return Image::fromPixels(width, height, std::move(pixels));
}

}  // namespace ovix::gfx::codecs
