#pragma once

#include "FeedDataSource.hpp"
#include "ovix/Ovix.hpp"

// The check that a reused cell of the scrolling feed shows its row. Main
// thread, like the cells.
namespace ovix::tool {

// Failed checks, one per row and screen.
struct RowFaults {
  int wrongImages = 0;
  int strayLabels = 0;
  int strayButtons = 0;

  bool any() const { return wrongImages + strayLabels + strayButtons > 0; }
};

// Checks that `cell`, a plain subtitle cell, shows `row`, counting each
// failure in `faults`:
//   image    an ad row shows its own ad's banner (one pixel of its ground
//            tells; see devserver::groundColor) or, while `imageMayBePending`,
//            the SDK's placeholder; a story shows no image.
//   labels   a default-bound ad row has exactly one SDK ad label in the
//            content view (a label beside the cell's own two); a custom-bound
//            row has none, and its advertiser reads "Sponsored by ..."; a
//            story has none.
//   buttons  an ad row has exactly one click button among the cell's direct
//            subviews, opening its own ad's click URL; a story has none.
void checkRow(const ui::TableViewCell& cell, const RowContent& row, bool imageMayBePending,
              RowFaults& faults);

}  // namespace ovix::tool
