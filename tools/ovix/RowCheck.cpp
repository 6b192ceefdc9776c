#include "RowCheck.hpp"

#include <cstdint>
#include <cstdlib>
#include <optional>

#include "FeedHost.hpp"
#include "devserver/SampleImages.hpp"

namespace ovix::tool {
namespace {

// JPEG coding and redrawing move a flat ground's colour by a few steps.
constexpr int kColorTolerance = 24;

// The pixel near the top-left corner, inside the banners' ground area.
std::uint32_t probe(const gfx::Image& image) {
  return image.pixel(image.width() / 16, image.height() / 16);
}

bool similar(std::uint32_t argb, encoders::Rgba8 rgba) {
  for (int channel = 0; channel < 4; ++channel) {
    const int shift = channel == 3 ? 24 : 16 - 8 * channel;  // r, g, b, then a
    const int value = static_cast<int>((argb >> shift) & 0xff);
    if (std::abs(value - rgba[channel]) > kColorTolerance) return false;
  }
  return true;
}

encoders::Rgba8 unpack(std::uint32_t argb) {
  return {static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 8),
          static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 24)};
}

// The colour of the SDK's placeholder, a one-colour image.
std::optional<encoders::Rgba8> placeholderColor() {
  static const auto image = gfx::Image::named("empty.gif", *OvixManager::shared().bundle());
  if (!image) return std::nullopt;
  return unpack(probe(*image));
}

bool imageIsRight(const gfx::Image* image, const RowContent& row, bool imageMayBePending) {
  if (!row.ad) return image == nullptr;
  if (!image) return false;
  const auto banner = devserver::groundColor(imageName(row.ad->imageUrl()));
  if (banner && similar(probe(*image), *banner)) return true;
  const auto placeholder = placeholderColor();
  return imageMayBePending && placeholder && similar(probe(*image), *placeholder);
}

bool labelsAreRight(const ui::TableViewCell& cell, const RowContent& row) {
  int adLabels = 0;
  for (const auto& view : cell.contentView()->subviews()) {
    adLabels += dynamic_cast<const ui::Label*>(view.get()) && view != cell.textLabel() &&
                view != cell.detailTextLabel();
  }
  if (row.kind == RowContent::Kind::defaultAd) return adLabels == 1;
  if (row.kind == RowContent::Kind::customAd) {
    return adLabels == 0 &&
           cell.detailTextLabel()->text() == "Sponsored by " + row.ad->advertiser();
  }
  return adLabels == 0;
}

bool buttonsAreRight(const ui::TableViewCell& cell, const RowContent& row) {
  int buttons = 0;
  bool ownUrl = false;
  for (const auto& view : cell.subviews()) {
    const auto* button = dynamic_cast<const ui::Button*>(view.get());
    if (!button || button->tag() != kClickButtonTag) continue;
    ++buttons;
    ownUrl = row.ad && clickUrl(*button) == row.ad->clickUrl();
  }
  return row.ad ? buttons == 1 && ownUrl : buttons == 0;
}

}  // namespace

void checkRow(const ui::TableViewCell& cell, const RowContent& row, bool imageMayBePending,
              RowFaults& faults) {
  faults.wrongImages += !imageIsRight(cell.imageView()->image().get(), row, imageMayBePending);
  faults.strayLabels += !labelsAreRight(cell, row);
  faults.strayButtons += !buttonsAreRight(cell, row);
}

}  // namespace ovix::tool
