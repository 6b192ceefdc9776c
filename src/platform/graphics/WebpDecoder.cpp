#include <webp/decode.h>
#include <webp/demux.h>

#include <bit>
#include <vector>

#include "Codecs.hpp"
#include "Pixels.hpp"

namespace ovix::gfx::codecs {
namespace {

// Straight alpha: premultiplying afterwards rounds the way the other decoders do.
constexpr WEBP_CSP_MODE kCairoOrder =
    std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

struct IteratorReleaser {
  void operator()(WebPIterator* frame) const { WebPDemuxReleaseIterator(frame); }
};

}  // namespace

// The first frame, drawn at its offset onto a transparent canvas, which is
// the whole picture for a still image.
std::shared_ptr<const Image> decodeWebp(const std::uint8_t* data, std::size_t size) {
  const WebPData bytes{data, size};
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&bytes));
  if (!demux) return nullptr;
  const std::uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const std::uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  if (!pixels::withinLimits(width, height)) return nullptr;

  WebPIterator frame{};
  if (!WebPDemuxGetFrame(demux.get(), 1, &frame)) return nullptr;
  std::unique_ptr<WebPIterator, IteratorReleaser> release(&frame);
  if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
      static_cast<std::uint32_t>(frame.x_offset + frame.width) > width ||
      static_cast<std::uint32_t>(frame.y_offset + frame.height) > height) {
    return nullptr;
  }

  std::vector<std::uint32_t> canvas;
  if (!pixels::allocate(canvas, static_cast<int>(width), static_cast<int>(height))) {
    return nullptr;
  }
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return nullptr;
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  config.output.colorspace = kCairoOrder;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(
      canvas.data() + static_cast<std::size_t>(frame.y_offset) * width + frame.x_offset);
  config.output.u.RGBA.stride = static_cast<int>(stride);
  config.output.u.RGBA.size = stride * static_cast<std::size_t>(frame.height - 1) +
                              static_cast<std::size_t>(frame.width) * 4;
  const VP8StatusCode status = WebPDecode(frame.fragment.bytes, frame.fragment.size, &config);
  WebPFreeDecBuffer(&config.output);
  if (status != VP8_STATUS_OK) return nullptr;
  pixels::premultiply(canvas.data(), canvas.size());
  return Image::fromPixels(static_cast<int>(width), static_cast<int>(height), std::move(canvas));
}

}  // namespace ovix::gfx::codecs
