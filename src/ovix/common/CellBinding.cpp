#include "ovix/common/CellBinding.hpp"

#include "ovix/OvixClickListener.hpp"
#include "ovix/ViewTags.hpp"
#include "ovix/platform/Button.hpp"

namespace ovix {
namespace {

// Only the addresses matter.
const char bindingKey = 0;
const char adLabelKey = 0;

// Removes the direct subviews of `view` that `match` picks.
template <class Match>
void removeSubviews(ui::View& view, Match match) {
  const auto subviews = view.subviews();  // a copy: removal changes the list
  for (const auto& subview : subviews) {
    if (match(*subview)) subview->removeFromSuperview();
  }
}

}  // namespace

std::shared_ptr<CellBinding> cellBinding(const ui::View& cell) {
  return std::static_pointer_cast<CellBinding>(cell.associatedObject(&bindingKey));
}

void setCellBinding(ui::View& cell, std::shared_ptr<CellBinding> binding) {
  cell.setAssociatedObject(&bindingKey, std::move(binding));
}

void markAdLabel(ui::Label& label) {
  // One shared mark: a binding on the main thread allocates no more for it.
  static const auto mark = std::make_shared<bool>(true);
  label.setAssociatedObject(&adLabelKey, mark);
}

void removeAdLabels(ui::View& view) {
  removeSubviews(view, [](const ui::View& subview) {
    return subview.associatedObject(&adLabelKey) != nullptr;
  });
}

void removeClickButtons(ui::View& view) {
  removeSubviews(view, [](ui::View& subview) {
    auto* button = dynamic_cast<ui::Button*>(&subview);
    if (!button || button->tag() != kClickButtonTag) return false;
    setClickUrl(*button, std::nullopt);
    return true;
  });
}

}  // namespace ovix
