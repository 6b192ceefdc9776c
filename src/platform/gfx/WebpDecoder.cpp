#include <webp/decode.h>
#include <webp/demux.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "platform/gfx/Codecs.hpp"
#include "platform/gfx/Pixels.hpp"

namespace ovix::gfx::codecs {
namespace {

// Straight alpha: premultiplying afterwards rounds the way the other decoders do.
constexpr WEBP_CSP_MODE kWebpCairoOrder =
    std::endian::native == std::endian::little ? MODE_BGRA : MODE_ARGB;

struct DemuxDeleter {
  void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

struct IteratorReleaser {
  void operator()(WebPIterator* frame) const { WebPDemuxReleaseIterator(frame); }
};

// The smallest size of the canvas's aspect ratio (the other side rounded to
// the nearest pixel) that covers the hint; the canvas's own unless the hint
// is smaller on both sides.
PixelSize scaledSize(PixelSize canvas, DecodeHint hint) {
  if (hint.width <= 0 || hint.height <= 0 || hint.width >= canvas.width ||
      hint.height >= canvas.height) {
    return canvas;
  }
  const std::int64_t w = canvas.width;
  const std::int64_t h = canvas.height;
  // The side the hint takes the larger share of sets the scale.
  if (hint.width * h >= hint.height * w) {
    return {hint.width, static_cast<int>((2 * h * hint.width + w) / (2 * w))};
  }
  return {static_cast<int>((2 * w * hint.height + h) / (2 * h)), hint.height};
}

// x * to / from, rounded down or up.
int rescaled(int x, int from, int to, bool up) {
  return static_cast<int>((std::int64_t{x} * to + (up ? from - 1 : 0)) / from);
}

// One libwebp read: the container, then its first frame drawn at its offset
// onto a transparent canvas, which is the whole picture for a still image.
class WebpReader {
 public:
  // Reads the container and the first frame's place and chooses the decoded
  // size (see scaledSize); no pixels.
  bool readHeader(const std::uint8_t* data, std::size_t size, DecodeHint hint) {
    const WebPData bytes{data, size};
    demux_.reset(WebPDemux(&bytes));
    if (!demux_) return false;
    const PixelSize canvas{static_cast<int>(WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_WIDTH)),
                           static_cast<int>(WebPDemuxGetI(demux_.get(), WEBP_FF_CANVAS_HEIGHT))};
    if (!pixels::withinLimits(canvas.width, canvas.height)) return false;

    WebPIterator frame{};
    if (!WebPDemuxGetFrame(demux_.get(), 1, &frame)) return false;
    std::unique_ptr<WebPIterator, IteratorReleaser> release(&frame);
    if (frame.x_offset < 0 || frame.y_offset < 0 || frame.width <= 0 || frame.height <= 0 ||
        frame.x_offset + frame.width > canvas.width ||
        frame.y_offset + frame.height > canvas.height) {
      return false;
    }
    fragment_ = frame.fragment;
    size_ = scaledSize(canvas, hint);
    scaled_ = size_ != canvas;
    // The frame's rectangle on the decoded canvas, its edges rounded outwards.
    left_ = rescaled(frame.x_offset, canvas.width, size_.width, false);
    top_ = rescaled(frame.y_offset, canvas.height, size_.height, false);
    width_ = rescaled(frame.x_offset + frame.width, canvas.width, size_.width, true) - left_;
    height_ = rescaled(frame.y_offset + frame.height, canvas.height, size_.height, true) - top_;
    return true;
  }

  PixelSize size() const { return size_; }

  // Decodes into `canvas`, size() transparent pixels, straight alpha.
  bool readImage(std::uint32_t* canvas) const {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) return false;
    config.options.use_scaling = scaled_;
    config.options.scaled_width = width_;
    config.options.scaled_height = height_;
    const std::size_t stride = static_cast<std::size_t>(size_.width) * 4;
    config.output.colorspace = kWebpCairoOrder;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = reinterpret_cast<std::uint8_t*>(
        canvas + static_cast<std::size_t>(top_) * size_.width + left_);
    config.output.u.RGBA.stride = static_cast<int>(stride);
    config.output.u.RGBA.size =
        stride * static_cast<std::size_t>(height_ - 1) + static_cast<std::size_t>(width_) * 4;
    const VP8StatusCode status = WebPDecode(fragment_.bytes, fragment_.size, &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK;
  }

 private:
  std::unique_ptr<WebPDemuxer, DemuxDeleter> demux_;
  WebPData fragment_{};  // the first frame's bitstream, inside the bytes read
  PixelSize size_;
  bool scaled_ = false;
  // The first frame's rectangle on the decoded canvas.
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace

std::optional<PixelSize> webpSize(const std::uint8_t* data, std::size_t size, DecodeHint hint) {
  WebpReader reader;
  if (!reader.readHeader(data, size, hint)) return std::nullopt;
  return reader.size();
}

std::shared_ptr<const Image> decodeWebp(const std::uint8_t* data, std::size_t size, DecodeHint hint,
                                        DecodeLimits limits) {
  WebpReader reader;
  if (!reader.readHeader(data, size, hint)) return nullptr;
  std::vector<std::uint32_t> canvas;
  if (!pixels::allocate(canvas, reader.size(), limits)) return nullptr;
  if (!reader.readImage(canvas.data())) return nullptr;
  pixels::premultiply(canvas.data(), canvas.size());
  return Image::fromPixels(reader.size().width, reader.size().height, std::move(canvas));
}

}  // namespace ovix::gfx::codecs
