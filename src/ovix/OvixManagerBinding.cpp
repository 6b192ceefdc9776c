// The manager's cell bindings, their undoing and the click-through.
#include <typeinfo>

#include "ovix/OvixClickListener.hpp"
#include "ovix/OvixEventListener.hpp"
#include "ovix/OvixImageLoader.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/Viewability.hpp"
#include "ovix/common/CellBinding.hpp"
#include "ovix/common/Events.hpp"
#include "ovix/common/OpenAd.hpp"
#include "ovix/model/AdValues.hpp"
#include "ovix/platform/CollectionViewCell.hpp"
#include "ovix/platform/TableViewCell.hpp"

namespace ovix {
namespace {

CellBinding::HostStyles stylesOf(const ui::TableViewCell& cell) {
  CellBinding::HostStyles styles;
  if (const auto label = cell.textLabel()) styles.textLineBreakMode = label->lineBreakMode();
  if (const auto detail = cell.detailTextLabel()) {
    styles.detailAdjustsFontSize = detail->adjustsFontSizeToFitWidth();
  }
  if (const auto imageView = cell.imageView()) {
    styles.imageClipsToBounds = imageView->clipsToBounds();
    styles.imageContentMode = imageView->contentMode();
  }
  return styles;
}

void restore(const ui::TableViewCell& cell, const CellBinding::HostStyles& styles) {
  if (const auto label = cell.textLabel()) label->setLineBreakMode(styles.textLineBreakMode);
  if (const auto detail = cell.detailTextLabel()) {
    detail->setAdjustsFontSizeToFitWidth(styles.detailAdjustsFontSize);
  }
  if (const auto imageView = cell.imageView()) {
    imageView->setClipsToBounds(styles.imageClipsToBounds);
    imageView->setContentMode(styles.imageContentMode);
  }
}

// Marks `cell`, not yet loaded, bound to `adInfo`, whose image goes to
// `imageView`, and gives it a new listener. `plain` is the cell of a default
// binding. What an earlier binding left (its image still on its way, its ad
// label) goes.
std::shared_ptr<OvixClickListener> bindCell(ui::View& cell, const OvixAdInfo& adInfo,
                                            const std::shared_ptr<ui::ImageView>& imageView,
                                            const ui::TableViewCell* plain) {
  auto binding = std::make_shared<CellBinding>();
  binding->isDefault = plain != nullptr;
  binding->imageView = imageView;
  if (const auto previous = cellBinding(cell)) {
    binding->hostStyles = previous->hostStyles;
    const auto earlier = previous->imageView.lock();
    if (earlier && earlier != imageView) OvixImageLoader::cancelLoad(*earlier);
  }
  if (plain && !binding->hostStyles) binding->hostStyles = stylesOf(*plain);
  setCellBinding(cell, std::move(binding));
  Viewability::stop(cell);
  // A custom binding adds no ad label of its own; none of an earlier one stays.
  if (const auto* table = dynamic_cast<const ui::TableViewCell*>(&cell)) {
    removeAdLabels(*table->contentView());
  }

  setLoaded(cell, true);
  setIdentifier(cell, std::string(adInfo.values()->uuid));
  auto listener = std::make_shared<OvixClickListener>();
  setListener(cell, listener);
  return listener;
}

}  // namespace

void OvixManager::setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                            const std::shared_ptr<OvixAdInfo>& adInfo, double height,
                            Size imageSize) {
  if (!cell || !adInfo) return;
  const ui::TableViewCell& plain = *cell;  // typeid of a plain reference: no side effects
  if (typeid(plain) != typeid(ui::TableViewCell)) return;
  if (loaded(*cell)) return;
  // The images of this binding are drawn at this size, whatever later
  // bindings set.
  const Rect imageRect(0, 0, imageSize.width, imageSize.height);
  setImageViewRect(imageRect);
  const auto listener = bindCell(*cell, *adInfo, cell->imageView(), &plain);
  const Size size{screenWidth(), height};
  listener->setInfeed(cell, adInfo, imageRect);
  listener->addListener(cell, adInfo, size);
  listener->setAdLabel(cell, size, adFrameInDefaultCell());
}

void OvixManager::setInfeed(const std::shared_ptr<ui::TableViewCell>& cell,
                            const std::shared_ptr<OvixAdInfo>& adInfo,
                            const std::shared_ptr<ui::ImageView>& imageView,
                            const std::shared_ptr<ui::Label>& titleLabel,
                            const std::shared_ptr<ui::Label>& descriptionLabel,
                            const std::shared_ptr<ui::Label>& advertiserLabel,
                            const std::shared_ptr<ui::Label>& adLabel, double height,
                            Rect imageRect) {
  bindCustom(cell, adInfo, {imageView, titleLabel, descriptionLabel, advertiserLabel, adLabel},
             Size{screenWidth(), height}, imageRect);
}

void OvixManager::setInfeed(const std::shared_ptr<ui::CollectionViewCell>& cell,
                            const std::shared_ptr<OvixAdInfo>& adInfo,
                            const std::shared_ptr<ui::ImageView>& imageView,
                            const std::shared_ptr<ui::Label>& titleLabel,
                            const std::shared_ptr<ui::Label>& descriptionLabel,
                            const std::shared_ptr<ui::Label>& advertiserLabel,
                            const std::shared_ptr<ui::Label>& adLabel, Size size, Rect imageRect) {
  bindCustom(cell, adInfo, {imageView, titleLabel, descriptionLabel, advertiserLabel, adLabel},
             size, imageRect);
}

void OvixManager::bindCustom(const std::shared_ptr<ui::View>& cell,
                             const std::shared_ptr<OvixAdInfo>& adInfo, const CustomViews& views,
                             Size buttonSize, Rect imageRect) {
  if (!cell || !adInfo || loaded(*cell)) return;
  const auto listener = bindCell(*cell, *adInfo, views.imageView, nullptr);
  setImageViewRect(imageRect);
  listener->setInfeedInCustomCell(adInfo, views.imageView, views.titleLabel, views.descriptionLabel,
                                  views.advertiserLabel, views.adLabel, imageRect);
  listener->addListener(cell, adInfo, buttonSize);
}

void OvixManager::prepareForReuse(const std::shared_ptr<ui::View>& cell) {
  if (!cell) return;
  removeClickButtons(*cell);
  const auto* table = dynamic_cast<const ui::TableViewCell*>(cell.get());
  if (table) removeAdLabels(*table->contentView());
  if (const auto binding = cellBinding(*cell)) {
    if (const auto imageView = binding->imageView.lock()) OvixImageLoader::cancelLoad(*imageView);
    if (table && binding->isDefault) {
      if (const auto label = table->textLabel()) label->setText("");
      if (const auto detail = table->detailTextLabel()) detail->setText("");
      if (const auto imageView = table->imageView()) imageView->setImage(nullptr);
    }
    if (table && binding->hostStyles) restore(*table, *binding->hostStyles);
    setCellBinding(*cell, nullptr);
  }
  Viewability::stop(*cell);
  setLoaded(*cell, false);
  setIdentifier(*cell, "");
  setListener(*cell, nullptr);
}

bool OvixManager::openAd(const std::shared_ptr<ui::View>& view) {
  std::optional<std::string> url;
  bool found = false;
  if (view) {
    for (const auto& subview : view->subviews()) {
      const auto* button = dynamic_cast<const ui::Button*>(subview.get());
      if (button && button->tag() == kClickButtonTag) {
        url = clickUrl(*button);
        found = true;
        break;
      }
    }
  }
  const bool opened = OpenAd::openAd(url);
  if (found) {
    events::post(*this,
                 [uuid = identifier(*view), url = url.value_or(""),
                  opened](OvixEventListener& listener) { listener.adClicked(uuid, url, opened); });
  }
  return opened;
}

}  // namespace ovix
