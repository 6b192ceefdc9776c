#pragma once

#include <memory>
#include <optional>

#include "ovix/platform/ImageView.hpp"
#include "ovix/platform/Label.hpp"
#include "ovix/platform/View.hpp"

// What a binding leaves on a host's cell beyond the view tags, so that a
// rebinding replaces it and prepareForReuse takes it away: the click buttons
// and the ad label the SDK added, and a record of the binding. Main thread.
namespace ovix {

// A binding of a cell, kept beside the cell until the next binding or
// prepareForReuse.
struct CellBinding {
  // How a plain cell looked before the default binding styled it.
  struct HostStyles {
    ui::LineBreakMode textLineBreakMode = ui::LineBreakMode::truncatingTail;
    bool detailAdjustsFontSize = false;
    bool imageClipsToBounds = false;
    ui::ContentMode imageContentMode = ui::ContentMode::scaleToFill;
  };

  // Whether the SDK filled the cell's own labels and image view.
  bool isDefault = false;
  // The image view the binding's download is for.
  std::weak_ptr<ui::ImageView> imageView;
  // Kept from the first default binding since the cell was last unbound.
  std::optional<HostStyles> hostStyles;
};

// The cell's binding, or null.
std::shared_ptr<CellBinding> cellBinding(const ui::View& cell);
// Records `binding` as the cell's; null forgets it.
void setCellBinding(ui::View& cell, std::shared_ptr<CellBinding> binding);

// Marks `label` as the ad label the SDK added.
void markAdLabel(ui::Label& label);
// Removes the SDK's ad labels among `view`'s direct subviews.
void removeAdLabels(ui::View& view);
// Removes the click buttons (buttons with kClickButtonTag) among `view`'s
// direct subviews, clearing their click URL.
void removeClickButtons(ui::View& view);

}  // namespace ovix
