#include "EncodedImages.hpp"

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <stdexcept>

namespace ovix::test {
namespace {

void appendPng(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

int appendGif(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

std::vector<std::uint8_t> flatRgba(const RgbaImage& image) {
  std::vector<std::uint8_t> bytes;
  for (const Rgba8& p : image.pixels) bytes.insert(bytes.end(), p.begin(), p.end());
  return bytes;
}

Bytes fromWebp(std::uint8_t* data, std::size_t size) {
  Bytes bytes(data, data + size);
  WebPFree(data);
  if (bytes.empty()) throw std::runtime_error("WebP encoding failed");
  return bytes;
}

void putBigEndian32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace

RgbaImage::RgbaImage(int width, int height, Rgba8 fill)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

std::uint32_t expectedArgb(Rgba8 c) {
  const auto times = [&](int channel) {
    return static_cast<std::uint32_t>(std::lround(c[channel] * c[3] / 255.0));
  };
  return std::uint32_t{c[3]} << 24 | times(0) << 16 | times(1) << 8 | times(2);
}

namespace {

// What libpng is to write; it stays in the caller's frame while libpng runs.
struct PngPlan {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int colorType = PNG_COLOR_TYPE_RGBA;
  int depth = 8;
  int interlace = PNG_INTERLACE_NONE;
  std::vector<png_color> palette;
  std::vector<png_byte> paletteAlpha;
  std::vector<std::vector<png_byte>> rows;
  std::vector<png_bytep> rowPointers;
};

void writePng(PngPlan& plan, Bytes& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();  // libpng has printed why
  png_set_write_fn(png, &out, &appendPng, nullptr);
  png_set_IHDR(png, info, plan.width, plan.height, plan.depth, plan.colorType, plan.interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (plan.colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, plan.palette.data(), static_cast<int>(plan.palette.size()));
    png_set_tRNS(png, info, plan.paletteAlpha.data(), static_cast<int>(plan.paletteAlpha.size()),
                 nullptr);
  }
  png_write_info(png, info);
  png_write_image(png, plan.rowPointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

// The index of `p` in the plan's palette, added when new.
png_byte paletteIndex(PngPlan& plan, const Rgba8& p) {
  for (std::size_t i = 0; i < plan.palette.size(); ++i) {
    const png_color& c = plan.palette[i];
    if (c.red == p[0] && c.green == p[1] && c.blue == p[2] && plan.paletteAlpha[i] == p[3]) {
      return static_cast<png_byte>(i);
    }
  }
  plan.palette.push_back({p[0], p[1], p[2]});
  plan.paletteAlpha.push_back(p[3]);
  return static_cast<png_byte>(plan.palette.size() - 1);
}

}  // namespace

Bytes encodePng(const RgbaImage& image, PngLayout layout) {
  PngPlan plan;
  plan.width = static_cast<png_uint_32>(image.width);
  plan.height = static_cast<png_uint_32>(image.height);
  if (layout == PngLayout::gray) plan.colorType = PNG_COLOR_TYPE_GRAY;
  if (layout == PngLayout::palette) plan.colorType = PNG_COLOR_TYPE_PALETTE;
  if (layout == PngLayout::rgba16) plan.depth = 16;
  if (layout == PngLayout::adam7) plan.interlace = PNG_INTERLACE_ADAM7;
  plan.rows.resize(static_cast<std::size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    auto& row = plan.rows[y];
    for (int x = 0; x < image.width; ++x) {
      const Rgba8& p = image.at(x, y);
      if (layout == PngLayout::gray) {
        row.push_back(p[0]);
      } else if (layout == PngLayout::palette) {
        row.push_back(paletteIndex(plan, p));
      } else if (layout == PngLayout::rgba16) {
        for (std::uint8_t c : p) row.insert(row.end(), {c, c});  // c * 257
      } else {
        row.insert(row.end(), p.begin(), p.end());
      }
    }
    plan.rowPointers.push_back(row.data());
  }
  Bytes out;
  writePng(plan, out);
  return out;
}

Bytes encodeJpeg(const RgbaImage& image, JpegLayout layout) {
  const bool cmyk = layout == JpegLayout::cmyk;
  std::vector<std::uint8_t> samples;
  for (const Rgba8& p : image.pixels) {
    if (cmyk) {
      // Adobe's inverted inks: 255 - ink, with no black ink.
      samples.insert(samples.end(), {p[0], p[1], p[2], 255});
    } else {
      samples.insert(samples.end(), {p[0], p[1], p[2]});
    }
  }
  const int components = cmyk ? 4 : 3;

  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);  // exits the process on error
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = components;
  info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (layout == JpegLayout::progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row =
        samples.data() + static_cast<std::size_t>(info.next_scanline) * image.width * components;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes encodeGif(int screenWidth, int screenHeight,
                const std::vector<std::array<std::uint8_t, 3>>& palette,
                const std::vector<GifFrame>& frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, &appendGif, &error);
  std::vector<GifColorType> colors;
  for (const auto& c : palette) colors.push_back({c[0], c[1], c[2]});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
  bool ok = gif && map && EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  for (const GifFrame& frame : frames) {
    if (frame.transparentIndex >= 0) {
      GraphicsControlBlock control{};
      control.TransparentColor = frame.transparentIndex;
      GifByteType extension[4];
      EGifGCBToExtension(&control, extension);
      ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height,
                                frame.interlaced, nullptr) == GIF_OK;
    std::vector<int> order;
    for (int pass = 0, y = 0; pass < (frame.interlaced ? 4 : 1); ++pass) {
      constexpr int kStart[] = {0, 4, 2, 1};
      constexpr int kStep[] = {8, 8, 4, 2};
      const int start = frame.interlaced ? kStart[pass] : 0;
      const int step = frame.interlaced ? kStep[pass] : 1;
      for (y = start; y < frame.height; y += step) order.push_back(y);
    }
    for (int y : order) {
      auto* line = const_cast<GifPixelType*>(frame.indices.data() + y * frame.width);
      ok = ok && EGifPutLine(gif, line, frame.width) == GIF_OK;
    }
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  if (!ok) throw std::runtime_error("GIF encoding failed");
  return out;
}

Bytes encodeWebp(const RgbaImage& image) {
  std::uint8_t* data = nullptr;
  const auto rgba = flatRgba(image);
  const std::size_t size =
      WebPEncodeRGBA(rgba.data(), image.width, image.height, image.width * 4, 95, &data);
  return fromWebp(data, size);
}

Bytes encodeWebpLossless(const RgbaImage& image) {
  std::uint8_t* data = nullptr;
  const auto rgba = flatRgba(image);
  const std::size_t size =
      WebPEncodeLosslessRGBA(rgba.data(), image.width, image.height, image.width * 4, &data);
  return fromWebp(data, size);
}

Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames) {
  WebPAnimEncoderOptions options;
  WebPAnimEncoderOptionsInit(&options);
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  config.lossless = 1;
  int timestamp = 0;
  bool ok = encoder != nullptr;
  for (const RgbaImage& frame : frames) {
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = frame.width;
    picture.height = frame.height;
    const auto rgba = flatRgba(frame);
    ok = ok && WebPPictureImportRGBA(&picture, rgba.data(), frame.width * 4) &&
         WebPAnimEncoderAdd(encoder, &picture, timestamp, &config);
    WebPPictureFree(&picture);
    timestamp += 100;
  }
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr) &&
       WebPAnimEncoderAssemble(encoder, &data);
  Bytes out(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  if (!ok) throw std::runtime_error("animated WebP encoding failed");
  return out;
}

Bytes withPngSize(Bytes png, std::uint32_t width, std::uint32_t height) {
  // Signature (8), IHDR length (4) and type (4), then width and height; the
  // chunk's CRC covers type and data, 17 bytes.
  putBigEndian32(png, 16, width);
  putBigEndian32(png, 20, height);
  putBigEndian32(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)));
  return png;
}

std::size_t jpegMarkerOffset(const Bytes& jpeg, std::uint8_t code) {
  for (std::size_t at = 2; at + 4 <= jpeg.size() && jpeg[at] == 0xff;) {
    if (jpeg[at + 1] == code) return at;
    at += 2 + (jpeg[at + 2] << 8 | jpeg[at + 3]);
  }
  return 0;
}

Bytes withJpegSize(Bytes jpeg, std::uint16_t width, std::uint16_t height) {
  // Marker (2), length (2), precision (1), then height and width.
  const std::size_t frame = jpegMarkerOffset(jpeg, 0xc0);
  if (frame == 0) throw std::runtime_error("no baseline frame header");
  jpeg[frame + 5] = height >> 8;
  jpeg[frame + 6] = height & 0xff;
  jpeg[frame + 7] = width >> 8;
  jpeg[frame + 8] = width & 0xff;
  return jpeg;
}

std::size_t gifImageDescriptorOffset(const Bytes& gif) {
  std::size_t at = 13;  // header and logical screen descriptor
  if (gif[10] & 0x80) at += 3u << ((gif[10] & 7) + 1);
  while (gif[at] == 0x21) {  // extensions: label, then sub-blocks up to an empty one
    at += 2;
    while (gif[at] != 0) at += gif[at] + 1;
    ++at;
  }
  return at;
}

Bytes withGifSize(Bytes gif, std::uint16_t width, std::uint16_t height) {
  const auto put = [&](std::size_t at, std::uint16_t value) {
    gif[at] = value & 0xff;
    gif[at + 1] = value >> 8;
  };
  put(6, width);
  put(8, height);
  const std::size_t descriptor = gifImageDescriptorOffset(gif);
  put(descriptor + 5, width);
  put(descriptor + 7, height);
  return gif;
}

Bytes withWebpLosslessSize(Bytes webp, int width, int height) {
  // "RIFF" size "WEBP" "VP8L" size, the signature byte 0x2f, then 14 bits of
  // width - 1, 14 of height - 1, the alpha hint and a 3-bit version.
  if (webp.size() < 25 || webp[12] != 'V' || webp[15] != 'L') {
    throw std::runtime_error("not a simple lossless WebP");
  }
  std::uint32_t bits = webp[21] | webp[22] << 8 | webp[23] << 16 | std::uint32_t{webp[24]} << 24;
  bits = (bits & 0xf0000000u) | static_cast<std::uint32_t>(width - 1) |
         static_cast<std::uint32_t>(height - 1) << 14;
  for (int i = 0; i < 4; ++i) webp[21 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  return webp;
}

}  // namespace ovix::test
