#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "FeedDataSource.hpp"
#include "FeedHost.hpp"
#include "RowCheck.hpp"

namespace ovix::tool {

// A table of rows kRowHeight high on a screen kScreenWidth by kScreenHeight,
// drawn as a table view draws them: by a pool of as many cells as fit on the
// screen plus two, the cell that left the screen last reused first, each
// shown by the data source as its row appears. Main thread.
class ReuseTable {
 public:
  // With `viewabilityMeasured`, the table reports what part of each ad row
  // is on screen as it scrolls, and the tally waits for viewed().
  ReuseTable(long long rows, bool viewabilityMeasured);

  // Scrolls so that `offset` points of the feed are above the screen: rows
  // that left give their cells back; rows that appear take one, are shown and
  // reported to the SDK as displayed; each ad row on screen, or just gone
  // from it, is reported with the part of it on screen.
  void scrollTo(double offset);
  // The uuids of the ads of the rows at least half on screen.
  std::set<std::string> adsHalfOnScreen();
  // The SDK found the ad viewable.
  void viewed(const std::string& uuid) { beacons_.viewed(uuid); }
  // The offset of the last screen.
  double bottom() const;

  // Checks every row on screen (see checkRow).
  void check(bool imagesMayBePending, RowFaults& faults);
  // The rows on screen, at their places on it.
  std::vector<PictureRow> screen();

  // Cells made, the pool's own included.
  std::size_t cells() const { return made_; }
  int adRows() const { return data_.adRows(); }
  std::size_t beaconsSent() const { return beacons_.sent(); }

 private:
  std::shared_ptr<ui::TableViewCell> makeCell();
  // The part of `row` on screen, in its cell's coordinates; empty when none.
  Rect visiblePart(long long row) const;

  const bool viewabilityMeasured_;
  const long long rows_;
  FeedDataSource data_;
  BeaconTally beacons_;
  std::map<long long, std::shared_ptr<ui::TableViewCell>> visible_;
  std::vector<std::shared_ptr<ui::TableViewCell>> free_;  // the last one is reused first
  std::size_t made_ = 0;
  double offset_ = 0;
};

}  // namespace ovix::tool
