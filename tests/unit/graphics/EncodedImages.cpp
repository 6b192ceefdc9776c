#include "EncodedImages.hpp"

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace ovix::test {
namespace {

void require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

std::vector<std::uint8_t> flat(const RgbaImage& image, int channels = 4) {
  std::vector<std::uint8_t> bytes;
  for (const Rgba8& p : image.pixels) bytes.insert(bytes.end(), p.begin(), p.begin() + channels);
  return bytes;
}

int appendGif(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

void put(Bytes& bytes, std::size_t at, std::uint32_t value, int size, bool bigEndian) {
  for (int i = 0; i < size; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * (bigEndian ? size - 1 - i : i)));
  }
}

}  // namespace

RgbaImage::RgbaImage(int width, int height, Rgba8 fill)
    : width(width), height(height), pixels(static_cast<std::size_t>(width) * height, fill) {}

std::uint32_t expectedArgb(Rgba8 c) {
  const auto times = [&](int i) {
    return static_cast<std::uint32_t>(std::lround(c[i] * c[3] / 255.0));
  };
  return std::uint32_t{c[3]} << 24 | times(0) << 16 | times(1) << 8 | times(2);
}

Bytes encodePng(const RgbaImage& image, PngLayout layout) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> samples = flat(image);
  std::vector<Rgba8> colormap;
  if (layout == PngLayout::gray) {
    png.format = PNG_FORMAT_GRAY;
    samples = flat(image, 1);
  } else if (layout == PngLayout::palette) {
    png.format = PNG_FORMAT_RGBA_COLORMAP;
    samples.clear();
    for (const Rgba8& p : image.pixels) {
      const auto found = std::find(colormap.begin(), colormap.end(), p);
      samples.push_back(static_cast<std::uint8_t>(found - colormap.begin()));
      if (found == colormap.end()) colormap.push_back(p);
    }
    png.colormap_entries = static_cast<png_uint_32>(colormap.size());
  }
  png_alloc_size_t size = 0;
  png_image_write_get_memory_size(png, size, 0, samples.data(), 0, colormap.data());
  Bytes out(size);
  require(png_image_write_to_memory(&png, out.data(), &size, 0, samples.data(), 0, colormap.data()),
          png.message);
  out.resize(size);
  return out;
}

Bytes encodeJpeg(const RgbaImage& image, JpegLayout layout) {
  const bool cmyk = layout == JpegLayout::cmyk;
  std::vector<std::uint8_t> samples = flat(image, cmyk ? 4 : 3);
  if (cmyk) {
    for (std::size_t i = 3; i < samples.size(); i += 4) samples[i] = 255;  // no black ink
  }
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);  // exits the process on error
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(image.width);
  info.image_height = static_cast<JDIMENSION>(image.height);
  info.input_components = cmyk ? 4 : 3;
  info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (layout == JpegLayout::progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = samples.data() + std::size_t{info.next_scanline} * image.width *
                                        static_cast<std::size_t>(info.input_components);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes encodeGif(int width, int height, const GifPalette& palette,
                const std::vector<GifFrame>& frames) {
  Bytes out;
  GifFileType* gif = EGifOpen(&out, &appendGif, nullptr);
  std::vector<GifColorType> colors;
  for (const auto& c : palette) colors.push_back({c[0], c[1], c[2]});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
  bool ok = gif && map && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
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
    // Interlaced rows go in four passes: every 8th from 0, every 8th from 4,
    // every 4th from 2, every 2nd from 1.
    const int passes = frame.interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
      const int start = frame.interlaced ? std::array{0, 4, 2, 1}[pass] : 0;
      const int step = frame.interlaced ? std::array{8, 8, 4, 2}[pass] : 1;
      for (int y = start; y < frame.height; y += step) {
        auto* line = const_cast<GifPixelType*>(&frame.indices[std::size_t(y) * frame.width]);
        ok = ok && EGifPutLine(gif, line, frame.width) == GIF_OK;
      }
    }
  }
  require(EGifCloseFile(gif, nullptr) == GIF_OK && ok, "GIF encoding failed");
  return out;
}

Bytes encodeWebp(const RgbaImage& image, bool lossless) {
  std::uint8_t* data = nullptr;
  const auto rgba = flat(image);
  const std::size_t size =
      lossless
          ? WebPEncodeLosslessRGBA(rgba.data(), image.width, image.height, image.width * 4, &data)
          : WebPEncodeRGBA(rgba.data(), image.width, image.height, image.width * 4, 95, &data);
  Bytes out(data, data + size);
  WebPFree(data);
  require(size > 0, "WebP encoding failed");
  return out;
}

Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames) {
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, nullptr);
  WebPConfig config;
  bool ok = encoder && WebPConfigInit(&config);
  config.lossless = 1;
  int timestamp = 0;
  for (const RgbaImage& frame : frames) {
    WebPPicture picture;
    ok = ok && WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = frame.width;
    picture.height = frame.height;
    ok = ok && WebPPictureImportRGBA(&picture, flat(frame).data(), frame.width * 4) &&
         WebPAnimEncoderAdd(encoder, &picture, timestamp += 100, &config);
    WebPPictureFree(&picture);
  }
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp + 100, nullptr) &&
       WebPAnimEncoderAssemble(encoder, &data);
  Bytes out(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  require(ok, "animated WebP encoding failed");
  return out;
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
    require(image[15] == 'L' && width <= 16384 && height <= 16384, "not a lossless WebP size");
    const std::uint32_t flags = image[24] & 0xf0;
    put(image, 21, (width - 1) | (height - 1) << 14 | flags << 24, 4, false);
  }
  return image;
}

}  // namespace ovix::test
