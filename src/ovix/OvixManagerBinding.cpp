// The manager's cell bindings and click-through.
#include <typeinfo>

#include "common/OpenAd.hpp"
#include "ovix/OvixClickListener.hpp"
#include "ovix/OvixManager.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/platform/CollectionViewCell.hpp"
#include "ovix/platform/TableViewCell.hpp"

namespace ovix {
namespace {

// Marks `cell`, not yet loaded, bound to `adInfo` and gives it a new listener.
std::shared_ptr<OvixClickListener> bindCell(ui::View& cell, const OvixAdInfo& adInfo) {
  if (loaded(cell)) return nullptr;
  setLoaded(cell, true);
  setIdentifier(cell, adInfo.uuid());
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
  setImageViewRect(Rect(0, 0, imageSize.width, imageSize.height));
  const auto listener = bindCell(*cell, *adInfo);
  const Size size{screenWidth(), height};
  listener->setInfeed(cell, adInfo);
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
  const auto listener = bindCell(*cell, *adInfo);
  setImageViewRect(imageRect);
  listener->setInfeedInCustomCell(adInfo, views.imageView, views.titleLabel, views.descriptionLabel,
                                  views.advertiserLabel, views.adLabel);
  listener->addListener(cell, adInfo, buttonSize);
}

bool OvixManager::openAd(const std::shared_ptr<ui::View>& view) {
  std::optional<std::string> url;
  if (view) {
    for (const auto& subview : view->subviews()) {
      const auto* button = dynamic_cast<const ui::Button*>(subview.get());
      if (button && button->tag() == kClickButtonTag) {
        url = clickUrl(*button);
        break;
      }
    }
  }
  return OpenAd::openAd(url);
}

}  // namespace ovix
