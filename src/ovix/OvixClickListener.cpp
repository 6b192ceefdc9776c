#include "ovix/OvixClickListener.hpp"

#include <mutex>

#include "ovix/OvixEventListener.hpp"
#include "ovix/OvixImageLoader.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/common/CellBinding.hpp"
#include "ovix/common/Characters.hpp"
#include "ovix/common/Events.hpp"
#include "ovix/common/Log.hpp"
#include "ovix/common/OpenAd.hpp"
#include "ovix/model/AdValues.hpp"
#include "ovix/platform/Color.hpp"
#include "ovix/platform/Font.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix {
namespace {

// The placeholder, read and decoded once per bundle and redrawn once per
// size: bindings run on the main thread, once for every cell shown. Images
// are immutable, so image views may share them.
class Placeholder {
 public:
  // At its natural size; null when the bundle has no usable "empty.gif".
  std::shared_ptr<const gfx::Image> image() {
    const auto bundle = OvixManager::shared().bundle();
    std::lock_guard lock(mutex_);
    return decodedLocked(bundle);
  }

  // Redrawn to `size`; null as above or when it cannot be redrawn.
  std::shared_ptr<const gfx::Image> image(Size size) {
    const auto bundle = OvixManager::shared().bundle();
    std::lock_guard lock(mutex_);
    const auto decoded = decodedLocked(bundle);
    if (!decoded) return nullptr;
    if (redrawnFrom_ != decoded || redrawnSize_ != size) {
      redrawn_ = gfx::redraw(*decoded, size);
      redrawnFrom_ = decoded;
      redrawnSize_ = size;
    }
    return redrawn_;
  }

 private:
  std::shared_ptr<const gfx::Image> decodedLocked(const std::shared_ptr<const Bundle>& bundle) {
    if (!bundle) return nullptr;
    // A bundle gone and another made at its address does not lock.
    if (bundle_.lock() != bundle) {
      decoded_ = gfx::Image::named("empty.gif", *bundle);
      bundle_ = bundle;
    }
    return decoded_;
  }

  std::mutex mutex_;
  std::weak_ptr<const Bundle> bundle_;             // guarded by mutex_
  std::shared_ptr<const gfx::Image> decoded_;      // guarded by mutex_
  std::shared_ptr<const gfx::Image> redrawnFrom_;  // guarded by mutex_
  Size redrawnSize_;                               // guarded by mutex_
  std::shared_ptr<const gfx::Image> redrawn_;      // guarded by mutex_
};

Placeholder& placeholder() {
  static Placeholder shared;
  return shared;
}

}  // namespace

OvixClickListener::~OvixClickListener() {
  ULog("deinit", "deinit");
}

void OvixClickListener::setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                                  const std::shared_ptr<OvixAdInfo>& adInfo) {
  setInfeed(cell, adInfo, OvixManager::shared().imageViewRect());
}

void OvixClickListener::setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                                  const std::shared_ptr<OvixAdInfo>& adInfo, Rect imageRect) {
  ULog("setInfeed(to:adInfo:)", "START");
  if (!cell || !adInfo) return;
  const auto ad = adInfo->values();
  if (const auto label = cell->textLabel()) {
    label->setLineBreakMode(ui::LineBreakMode::truncatingTail);
    label->setText(std::string(ad->title));
  }
  if (const auto detail = cell->detailTextLabel()) {
    detail->setAdjustsFontSizeToFitWidth(true);
    detail->setText(std::string(ad->advertiser));
  }
  if (const auto imageView = cell->imageView()) {
    imageView->setImage(imageRect.isZero() ? nullptr : placeholder().image(imageRect.size));
  }
  OvixImageLoader::loadImage(cell->imageView(), std::string(ad->imageUrl), false, imageRect);
}

void OvixClickListener::addListener(const std::shared_ptr<ui::View>& view,
                                    const std::shared_ptr<OvixAdInfo>& adInfo, Size cellSize) {
  ULog("addListener(to:adInfo:cellSize:)", "START");
  if (!view || !adInfo) return;
  auto button = ui::make<ui::Button>(Rect(0, 0, cellSize.width, cellSize.height));
  button->setBackgroundColor(ui::Color::clear());
  setClickUrl(*button, std::string(adInfo->values()->clickUrl));
  button->setTag(kClickButtonTag);
  removeClickButtons(*view);
  // Held weakly by the button; a listener not made shared gets no taps.
  std::weak_ptr<OvixClickListener> target = weak_from_this();
  button->addTarget(target, [target](ui::Button& sender) {
    if (const auto listener = target.lock()) listener->tappedAd(sender);
  });
  view->addSubview(std::move(button));
}

void OvixClickListener::setAdLabel(const std::shared_ptr<ui::TableViewCell>& cell, Size size,
                                   Rect adFrame) {
  if (!cell) return;
  auto label = ui::make<ui::Label>(
      adFrame.isZero() ? Rect(size.width - 21, size.height - 21, 21, 21) : adFrame);
  label->setText(adLabelText(OvixManager::shared().adLabelString()));
  label->setTextColor(ui::Color::lightGray());
  label->setFont(ui::Font::systemFont(ui::Font::smallSystemFontSize()));
  markAdLabel(*label);
  removeAdLabels(*cell->contentView());
  cell->contentView()->addSubview(std::move(label));
}

void OvixClickListener::tappedAd(ui::Button& sender) {
  ULog("tappedAd", "START");
  const auto url = clickUrl(sender);
  const bool opened = OpenAd::openAd(url);
  ULogPrints(opened);
  const auto cell = sender.superview();
  events::post(OvixManager::shared(),
               [uuid = cell ? identifier(*cell) : std::string(), url = url.value_or(""),
                opened](OvixEventListener& listener) { listener.adClicked(uuid, url, opened); });
}

void OvixClickListener::setInfeedInCustomCell(const std::shared_ptr<OvixAdInfo>& adInfo,
                                              const std::shared_ptr<ui::ImageView>& imageView,
                                              const std::shared_ptr<ui::Label>& titleLabel,
                                              const std::shared_ptr<ui::Label>& descriptionLabel,
                                              const std::shared_ptr<ui::Label>& advertiserLabel,
                                              const std::shared_ptr<ui::Label>& adLabel) {
  setInfeedInCustomCell(adInfo, imageView, titleLabel, descriptionLabel, advertiserLabel, adLabel,
                        OvixManager::shared().imageViewRect());
}

void OvixClickListener::setInfeedInCustomCell(const std::shared_ptr<OvixAdInfo>& adInfo,
                                              const std::shared_ptr<ui::ImageView>& imageView,
                                              const std::shared_ptr<ui::Label>& titleLabel,
                                              const std::shared_ptr<ui::Label>& descriptionLabel,
                                              const std::shared_ptr<ui::Label>& advertiserLabel,
                                              const std::shared_ptr<ui::Label>& adLabel,
                                              Rect imageRect) {
  ULog("setInfeedInCustomCell(with:imageView:titleLabel:descriptionLabel:advertiserLabel:adLabel:)",
       "START");
  if (!adInfo) return;
  const auto ad = adInfo->values();
  if (descriptionLabel) {
    descriptionLabel->setLineBreakMode(ui::LineBreakMode::truncatingTail);
    descriptionLabel->setText(std::string(ad->descript));
  }
  if (advertiserLabel) advertiserLabel->setAdjustsFontSizeToFitWidth(true);
  if (adLabel) {
    if (advertiserLabel) advertiserLabel->setText(std::string(ad->advertiser));
    adLabel->setText(adLabelText(OvixManager::shared().adLabelString()));
  } else if (advertiserLabel) {
    advertiserLabel->setText("Sponsored by " + std::string(ad->advertiser));
  }
  if (titleLabel) titleLabel->setText(std::string(ad->title));
  if (imageView) imageView->setImage(placeholder().image());
  OvixImageLoader::loadImage(imageView, std::string(ad->imageUrl), true, imageRect);
}

}  // namespace ovix
