#include "ImageEncoders.hpp"

#include <cstdio>  // before jpeglib.h, which uses FILE

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>

namespace ovix::encoders {
namespace {

std::vector<std::uint8_t> flat(const RgbaImage& image, int channels = 4) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(image.pixels.size() * static_cast<std::size_t>(channels));
  for (const Rgba8& p : image.pixels) bytes.insert(bytes.end(), p.begin(), p.begin() + channels);
  return bytes;
}

bool wellFormed(const RgbaImage& image) {
  return image.width > 0 && image.height > 0 &&
         image.pixels.size() == static_cast<std::size_t>(image.width) * image.height;
}

int appendGif(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// libjpeg reports errors through error_exit, which must not return: it jumps
// back into compressJpeg instead of ending the process.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// One compression into a buffer libjpeg allocates. An error jumps back to the
// setjmp here, so this function keeps only trivially destructible locals.
bool compressJpeg(jpeg_compress_struct& info, const std::uint8_t* samples, int width, int height,
                  bool cmyk, bool progressive, unsigned char** buffer, unsigned long* size) {
  if (setjmp(reinterpret_cast<JpegErrors*>(info.err)->jump)) return false;
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = cmyk ? 4 : 3;
  info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (cmyk ? 4 : 3);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(samples) + std::size_t{info.next_scanline} * rowBytes;
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace

RgbaImage::RgbaImage(int width, int height, Rgba8 fill)
    : width(width),
      height(height),
      pixels(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0), fill) {}

Bytes encodePng(const RgbaImage& image, PngLayout layout) {
  if (!wellFormed(image)) return {};
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
    if (colormap.size() > 256) return {};
    png.colormap_entries = static_cast<png_uint_32>(colormap.size());
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(png, size, 0, samples.data(), 0, colormap.data())) return {};
  Bytes out(size);
  if (!png_image_write_to_memory(&png, out.data(), &size, 0, samples.data(), 0, colormap.data())) {
    return {};
  }
  out.resize(size);
  return out;
}

Bytes encodeJpeg(const RgbaImage& image, JpegLayout layout) {
  if (!wellFormed(image)) return {};
  const bool cmyk = layout == JpegLayout::cmyk;
  std::vector<std::uint8_t> samples = flat(image, cmyk ? 4 : 3);
  if (cmyk) {
    for (std::size_t i = 3; i < samples.size(); i += 4) samples[i] = 255;  // no black ink
  }
  jpeg_compress_struct info{};
  JpegErrors errors{};
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = &onJpegError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = compressJpeg(info, samples.data(), image.width, image.height, cmyk,
                               layout == JpegLayout::progressive, &buffer, &size);
  jpeg_destroy_compress(&info);
  Bytes out;
  if (ok && buffer) out.assign(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes encodeGif(int width, int height, const GifPalette& palette,
                const std::vector<GifFrame>& frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, &appendGif, &error);
  if (!gif) return {};
  std::vector<GifColorType> colors;
  for (const auto& c : palette) colors.push_back({c[0], c[1], c[2]});
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
  bool ok = map && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  for (const GifFrame& frame : frames) {
    if (frame.indices.size() < static_cast<std::size_t>(frame.width) * frame.height) ok = false;
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
    for (int pass = 0; ok && pass < passes; ++pass) {
      const int start = frame.interlaced ? std::array{0, 4, 2, 1}[pass] : 0;
      const int step = frame.interlaced ? std::array{8, 8, 4, 2}[pass] : 1;
      for (int y = start; ok && y < frame.height; y += step) {
        auto* line = const_cast<GifPixelType*>(&frame.indices[std::size_t(y) * frame.width]);
        ok = EGifPutLine(gif, line, frame.width) == GIF_OK;
      }
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK || !ok) return {};
  return out;
}

Bytes encodeGif(const RgbaImage& image) {
  if (!wellFormed(image)) return {};
  GifPalette palette;
  GifFrame frame{0, 0, image.width, image.height};
  frame.indices.reserve(image.pixels.size());
  for (const Rgba8& p : image.pixels) {
    const std::array<std::uint8_t, 3> color{p[0], p[1], p[2]};
    const auto found = std::find(palette.begin(), palette.end(), color);
    if (found == palette.end()) {
      if (palette.size() == 256) return {};
      palette.push_back(color);
    }
    frame.indices.push_back(static_cast<std::uint8_t>(
        found == palette.end() ? palette.size() - 1 : found - palette.begin()));
  }
  // A GIF colour table holds a power of two colours, at least two.
  std::size_t entries = 2;
  while (entries < palette.size()) entries *= 2;
  palette.resize(entries);
  return encodeGif(image.width, image.height, palette, {frame});
}

Bytes encodeWebp(const RgbaImage& image, bool lossless) {
  if (!wellFormed(image)) return {};
  std::uint8_t* data = nullptr;
  const auto rgba = flat(image);
  const std::size_t size =
      lossless
          ? WebPEncodeLosslessRGBA(rgba.data(), image.width, image.height, image.width * 4, &data)
          : WebPEncodeRGBA(rgba.data(), image.width, image.height, image.width * 4, 95, &data);
  Bytes out;
  if (size > 0 && data) out.assign(data, data + size);
  WebPFree(data);
  return out;
}

Bytes encodeAnimatedWebp(const std::vector<RgbaImage>& frames) {
  if (frames.empty() || !wellFormed(frames[0])) return {};
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(frames[0].width, frames[0].height, nullptr);
  WebPConfig config;
  bool ok = encoder && WebPConfigInit(&config);
  config.lossless = 1;
  int timestamp = 0;
  for (const RgbaImage& frame : frames) {
    WebPPicture picture;
    ok = ok && wellFormed(frame) && WebPPictureInit(&picture);
    if (!ok) break;
    picture.use_argb = 1;
    picture.width = frame.width;
    picture.height = frame.height;
    ok = WebPPictureImportRGBA(&picture, flat(frame).data(), frame.width * 4) &&
         WebPAnimEncoderAdd(encoder, &picture, timestamp += 100, &config);
    WebPPictureFree(&picture);
  }
  WebPData data;
  WebPDataInit(&data);
  ok = ok && WebPAnimEncoderAdd(encoder, nullptr, timestamp + 100, nullptr) &&
       WebPAnimEncoderAssemble(encoder, &data);
  Bytes out;
  if (ok) out.assign(data.bytes, data.bytes + data.size);
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
  return out;
}

}  // namespace ovix::encoders
