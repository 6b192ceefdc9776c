#pragma once

#include <memory>

#include "ovix/Export.hpp"
#include "ovix/platform/Image.hpp"
#include "ovix/platform/View.hpp"

namespace ovix::ui {

// Draws the view tree under `root` into a new image of root's frame size at
// scale 1 (each side rounded to whole pixels), so that hosts and tests can
// see what the tree shows; write it out with gfx::writePng. Root is drawn at
// the image's origin and the rest back to front, each view in its
// superview's coordinates. What each class shows:
//   Button         its background colour over its bounds
//   Label          its text on one line (see its line break mode), in the
//                  sans-serif face at its font's size, in its text colour
//   ImageView      its image as its content mode fits it, cut at its bounds
//                  and its subviews too when it clips to bounds
//   TableViewCell  its content view over the cell, and its own views laid
//                  out like a phone's plain cell where their frames are zero
//   others         nothing of their own, only their subviews
// Pixels nothing covers are transparent. Null when a side rounds to less
// than one pixel or exceeds the image limits. Never throws. Main thread,
// like the views.
OVIX_EXPORT std::shared_ptr<const gfx::Image> render(const View& root);

}  // namespace ovix::ui
