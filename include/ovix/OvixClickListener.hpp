#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/OvixAdInfo.hpp"
#include "ovix/platform/Button.hpp"
#include "ovix/platform/Geometry.hpp"
#include "ovix/platform/ImageView.hpp"
#include "ovix/platform/Label.hpp"
#include "ovix/platform/TableViewCell.hpp"
#include "ovix/platform/View.hpp"

namespace ovix {

// Fills an ad cell and opens the ad when its click button is tapped. The
// bindings make one per cell (std::make_shared) and the cell keeps it; the
// button refers to it without owning it. Main thread only.
class OVIX_EXPORT OvixClickListener : public std::enable_shared_from_this<OvixClickListener> {
 public:
  OvixClickListener() = default;
  // Logs "deinit".
  ~OvixClickListener();
  OvixClickListener(const OvixClickListener&) = delete;
  OvixClickListener& operator=(const OvixClickListener&) = delete;

  // Writes the title and advertiser into the cell's labels, shows the
  // placeholder and starts the image download, both redrawn to the shared
  // manager's imageViewRect as it is now.
  void setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                 const std::shared_ptr<OvixAdInfo>& adInfo);

  // Lays a transparent click button of `cellSize` on top of `view`, replacing
  // the click buttons among its direct subviews. Taps reach tappedAd while
  // this listener lives.
  void addListener(const std::shared_ptr<ui::View>& view, const std::shared_ptr<OvixAdInfo>& adInfo,
                   Size cellSize);

  // Adds the small grey ad label to the cell's content view: in the
  // bottom-right corner of `size` when `adFrame` is zero, else at `adFrame`.
  // It replaces the ad label an earlier binding added there.
  void setAdLabel(const std::shared_ptr<ui::TableViewCell>& cell, Size size, Rect adFrame);

  // Opens the button's click URL.
  void tappedAd(ui::Button& sender);

  // Fills a host's own views: description (optional), advertiser, ad label
  // (optional; without one the advertiser reads "Sponsored by ..."), title,
  // then the placeholder and the image download, redrawn to the shared
  // manager's imageViewRect as it is now (zero: its natural size).
  void setInfeedInCustomCell(const std::shared_ptr<OvixAdInfo>& adInfo,
                             const std::shared_ptr<ui::ImageView>& imageView,
                             const std::shared_ptr<ui::Label>& titleLabel,
                             const std::shared_ptr<ui::Label>& descriptionLabel,
                             const std::shared_ptr<ui::Label>& advertiserLabel,
                             const std::shared_ptr<ui::Label>& adLabel);

 private:
  friend class OvixManager;

  // As the public ones, with the size the binding asked for.
  void setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                 const std::shared_ptr<OvixAdInfo>& adInfo, Rect imageRect);
  void setInfeedInCustomCell(const std::shared_ptr<OvixAdInfo>& adInfo,
                             const std::shared_ptr<ui::ImageView>& imageView,
                             const std::shared_ptr<ui::Label>& titleLabel,
                             const std::shared_ptr<ui::Label>& descriptionLabel,
                             const std::shared_ptr<ui::Label>& advertiserLabel,
                             const std::shared_ptr<ui::Label>& adLabel, Rect imageRect);
};

// The view tag number that marks the SDK's click buttons.
inline constexpr std::int64_t kClickButtonTag = INT64_MIN;

}  // namespace ovix
