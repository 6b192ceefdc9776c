#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Codecs.hpp"
#include "Pixels.hpp"

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

// Draws the frame just described onto a transparent canvas of the logical
// screen's size; the parts of the frame off the screen are read and dropped.
std::shared_ptr<const Image> readFrame(GifFileType* gif, int transparentIndex) {
  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!colors || frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) {
    return nullptr;
  }
  if (!pixels::withinLimits(frame.Width, frame.Height)) return nullptr;
  // A screen of zero size is taken to be as large as the frame needs.
  const int width = gif->SWidth > 0 ? gif->SWidth : frame.Left + frame.Width;
  const int height = gif->SHeight > 0 ? gif->SHeight : frame.Top + frame.Height;
  std::vector<std::uint32_t> canvas;
  if (!pixels::allocate(canvas, width, height)) return nullptr;

  std::vector<std::uint32_t> palette(256, 0);
  for (int i = 0; i < std::min(colors->ColorCount, 256); ++i) {
    const GifColorType& c = colors->Colors[i];
    if (i != transparentIndex) palette[i] = pixels::premultiplied(0xff, c.Red, c.Green, c.Blue);
  }

  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  const int columns = std::max(0, std::min(frame.Width, width - frame.Left));
  for (const int row : rowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) return nullptr;
    const int y = frame.Top + row;
    if (y >= height) continue;
    std::uint32_t* out = canvas.data() + static_cast<std::size_t>(y) * width + frame.Left;
    for (int x = 0; x < columns; ++x) out[x] = palette[line[x]];
  }
  return Image::fromPixels(width, height, std::move(canvas));
}

}  // namespace

std::shared_ptr<const Image> decodeGif(const std::uint8_t* data, std::size_t size) {
  Input input{data, size};
  GifFile gif(DGifOpen(&input, &readInput, nullptr));
  if (!gif) return nullptr;
  if (!pixels::withinLimits(gif->SWidth, gif->SHeight) && (gif->SWidth || gif->SHeight)) {
    return nullptr;
  }
  int transparentIndex = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) return nullptr;
    switch (type) {
      case EXTENSION_RECORD_TYPE:
        if (!readExtension(gif.get(), transparentIndex)) return nullptr;
        break;
      case IMAGE_DESC_RECORD_TYPE:
        if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return nullptr;
        return readFrame(gif.get(), transparentIndex);
      default:
        return nullptr;  // the trailer, or junk, before any image
    }
  }
}

}  // namespace ovix::gfx::codecs
