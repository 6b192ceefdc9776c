#include "ovix/OvixClickListener.hpp"

#include "OvixImageLoader.hpp"
#include "common/Characters.hpp"
#include "common/Log.hpp"
#include "common/OpenAd.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/platform/Color.hpp"
#include "ovix/platform/Font.hpp"
#include "ovix/platform/ImageDrawing.hpp"

namespace ovix {
namespace {

std::shared_ptr<const gfx::Image> placeholder() {
  const auto bundle = OvixManager::shared().bundle();
  return bundle ? gfx::Image::named("empty.gif", *bundle) : nullptr;
}

}  // namespace

OvixClickListener::~OvixClickListener() {
  ULog("deinit", "deinit");
}

void OvixClickListener::setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                                  const std::shared_ptr<OvixAdInfo>& adInfo) {
  ULog("setInfeed(to:adInfo:)", "START");
  if (!cell || !adInfo) return;
  if (const auto label = cell->textLabel()) {
    label->setLineBreakMode(ui::LineBreakMode::truncatingTail);
    label->setText(adInfo->title());
  }
  if (const auto detail = cell->detailTextLabel()) {
    detail->setAdjustsFontSizeToFitWidth(true);
    detail->setText(adInfo->advertiser());
  }
  const auto image = placeholder();
  const Rect rect = OvixManager::shared().imageViewRect();
  if (const auto imageView = cell->imageView()) {
    imageView->setImage(image && !rect.isZero() ? gfx::redraw(*image, rect.size) : nullptr);
  }
  OvixImageLoader::loadImage(cell->imageView(), adInfo->imageUrl(), false);
}

void OvixClickListener::addListener(const std::shared_ptr<ui::View>& view,
                                    const std::shared_ptr<OvixAdInfo>& adInfo, Size cellSize) {
  ULog("addListener(to:adInfo:cellSize:)", "START");
  if (!view || !adInfo) return;
  auto button = ui::make<ui::Button>(Rect(0, 0, cellSize.width, cellSize.height));
  button->setBackgroundColor(ui::Color::clear());
  setClickUrl(*button, adInfo->clickUrl());
  button->setTag(kClickButtonTag);
  const auto subviews = view->subviews();  // a copy: removal changes the list
  for (const auto& subview : subviews) {
    if (subview->tag() == kClickButtonTag && dynamic_cast<ui::Button*>(subview.get())) {
      subview->removeFromSuperview();
    }
  }
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
  cell->contentView()->addSubview(std::move(label));
}

void OvixClickListener::tappedAd(ui::Button& sender) {
  ULog("tappedAd", "START");
  ULogPrints(OpenAd::openAd(clickUrl(sender)));
}

void OvixClickListener::setInfeedInCustomCell(const std::shared_ptr<OvixAdInfo>& adInfo,
                                              const std::shared_ptr<ui::ImageView>& imageView,
                                              const std::shared_ptr<ui::Label>& titleLabel,
                                              const std::shared_ptr<ui::Label>& descriptionLabel,
                                              const std::shared_ptr<ui::Label>& advertiserLabel,
                                              const std::shared_ptr<ui::Label>& adLabel) {
  ULog("setInfeedInCustomCell(with:imageView:titleLabel:descriptionLabel:advertiserLabel:adLabel:)",
       "START");
  if (!adInfo) return;
  if (descriptionLabel) {
    descriptionLabel->setLineBreakMode(ui::LineBreakMode::truncatingTail);
    descriptionLabel->setText(adInfo->descript());
  }
  if (advertiserLabel) advertiserLabel->setAdjustsFontSizeToFitWidth(true);
  if (adLabel) {
    if (advertiserLabel) advertiserLabel->setText(adInfo->advertiser());
    adLabel->setText(adLabelText(OvixManager::shared().adLabelString()));
  } else if (advertiserLabel) {
    advertiserLabel->setText("Sponsored by " + adInfo->advertiser());
  }
  if (titleLabel) titleLabel->setText(adInfo->title());
  if (imageView) imageView->setImage(placeholder());
  OvixImageLoader::loadImage(imageView, adInfo->imageUrl(), true);
}

}  // namespace ovix
