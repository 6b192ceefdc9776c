#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/gfx/Codecs.hpp"
#include "platform/gfx/Pixels.hpp"

namespace ovix::gfx::codecs {
namespace {

struct Input {
  const std::uint8_t* next;
  std::size_t remaining;
};

int readInput(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<Input*>(gif->UserData);
  if (length <= 0) return 0;
  const std::size_t count = std::min(input->remaining, static_cast<std::size_t>(length));
  std::memcpy(out, input->next, count);
  input->next += count;
  input->remaining -= count;
  return static_cast<int>(count);
}

struct GifCloser {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// The transparent colour index set by a graphic control extension, if this
// extension is one; skips the extension's data either way.
bool readExtension(GifFileType* gif, int& transparentIndex) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block) {
    GraphicsControlBlock control{};
    if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
      transparentIndex = control.TransparentColor;
    }
  }
  while (block) {
    if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return false;
  }
  return true;
}

// Rows in the order an interlaced image stores them: four passes.
std::vector<int> rowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  constexpr int kStart[] = {0, 4, 2, 1};
  constexpr int kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kStep[pass]) order.push_back(y);
  }
  return order;
}

// One giflib read: the header up to the first frame's pixels, then that
// frame. giflib reads through `input_`, so the reader stays where it is made.
class GifReader {
 public:
  GifReader(const std::uint8_t* data, std::size_t size) : input_{data, size} {}
  GifReader(const GifReader&) = delete;
  GifReader& operator=(const GifReader&) = delete;

  // Reads the logical screen, the extensions before the first frame and that
  // frame's descriptor; no pixels.
  bool readHeader() {
    gif_.reset(DGifOpen(&input_, &readInput, nullptr));
    if (!gif_) return false;
    for (;;) {
      GifRecordType type = UNDEFINED_RECORD_TYPE;
      if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) return false;
      if (type == IMAGE_DESC_RECORD_TYPE) break;
      // The trailer, or junk, before any image, fails.
      if (type != EXTENSION_RECORD_TYPE || !readExtension(gif_.get(), transparentIndex_)) {
        return false;
      }
    }
    if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) return false;
    const GifImageDesc& frame = gif_->Image;
    if (!(frame.ColorMap ? frame.ColorMap : gif_->SColorMap) || frame.Left < 0 || frame.Top < 0 ||
        !pixels::withinLimits(frame.Width, frame.Height)) {
      return false;
    }
    // A screen of zero size is taken to be as large as the frame needs.
    const bool unsized = gif_->SWidth == 0 && gif_->SHeight == 0;
    size_ = unsized ? PixelSize{frame.Left + frame.Width, frame.Top + frame.Height}
                    : PixelSize{gif_->SWidth, gif_->SHeight};
    return pixels::withinLimits(size_.width, size_.height);
  }

  // The decoded size: the logical screen's.
  PixelSize size() const { return size_; }

  // Draws the first frame onto `canvas`, size() transparent pixels; the parts
  // of the frame off the screen are read and dropped.
  bool readImage(std::uint32_t* canvas) {
    const GifImageDesc& frame = gif_->Image;
    const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif_->SColorMap;
    std::vector<std::uint32_t> palette(256, 0);
    for (int i = 0; i < std::min(colors->ColorCount, 256); ++i) {
      const GifColorType& c = colors->Colors[i];
      if (i != transparentIndex_) palette[i] = pixels::premultiplied(0xff, c.Red, c.Green, c.Blue);
    }

    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    const int columns = std::max(0, std::min(frame.Width, size_.width - frame.Left));
    for (const int row : rowOrder(frame.Height, frame.Interlace)) {
      if (DGifGetLine(gif_.get(), line.data(), frame.Width) == GIF_ERROR) return false;
      const int y = frame.Top + row;
      if (y >= size_.height) continue;
      std::uint32_t* out = canvas + static_cast<std::size_t>(y) * size_.width + frame.Left;
      for (int x = 0; x < columns; ++x) out[x] = palette[line[x]];
    }
    return true;
  }

 private:
  Input input_;
  GifFile gif_;
  int transparentIndex_ = NO_TRANSPARENT_COLOR;
  PixelSize size_;
};

}  // namespace

std::optional<PixelSize> gifSize(const std::uint8_t* data, std::size_t size, DecodeHint) {
  GifReader reader(data, size);
  if (!reader.readHeader()) return std::nullopt;
  return reader.size();
}

std::shared_ptr<const Image> decodeGif(const std::uint8_t* data, std::size_t size, DecodeHint,
                                       DecodeLimits limits) {
  GifReader reader(data, size);
  if (!reader.readHeader()) return nullptr;
  std::vector<std::uint32_t> canvas;
  if (!pixels::allocate(canvas, reader.size(), limits)) return nullptr;
  if (!reader.readImage(canvas.data())) return nullptr;
  return Image::fromPixels(reader.size().width, reader.size().height, std::move(canvas));
}

}  // namespace ovix::gfx::codecs
