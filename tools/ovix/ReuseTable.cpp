#include "ReuseTable.hpp"

#include <algorithm>
#include <cmath>

#include "FeedCells.hpp"

namespace ovix::tool {

ReuseTable::ReuseTable(long long rows, bool viewabilityMeasured)
    : viewabilityMeasured_(viewabilityMeasured), rows_(rows), beacons_(viewabilityMeasured) {
  const auto poolSize = static_cast<std::size_t>(kScreenHeight / kRowHeight) + 2;
  while (free_.size() < poolSize) free_.push_back(makeCell());
}

void ReuseTable::scrollTo(double offset) {
  offset_ = offset;
  const auto first = static_cast<long long>(offset / kRowHeight);
  const auto end = static_cast<long long>(std::ceil((offset + kScreenHeight) / kRowHeight));
  const auto last = std::min(rows_, end) - 1;
  auto& manager = OvixManager::shared();
  for (auto it = visible_.begin(); it != visible_.end();) {
    const bool gone = it->first < first || it->first > last;
    if (gone) {
      if (viewabilityMeasured_ && data_.content(it->first).ad) {
        manager.reportVisibility(it->second, Rect());
      }
      free_.push_back(it->second);
    }
    it = gone ? visible_.erase(it) : std::next(it);
  }
  for (long long row = first; row <= last; ++row) {
    if (visible_.contains(row)) continue;
    if (free_.empty()) free_.push_back(makeCell());
    const auto cell = free_.back();
    free_.pop_back();
    visible_[row] = cell;
    const RowContent& content = data_.content(row);
    FeedDataSource::show(cell, content);
    manager.tryImpression(cell, kDisplayCallback);
    if (content.ad) beacons_.displayed(*content.ad);
  }
  if (!viewabilityMeasured_) return;
  for (const auto& [row, cell] : visible_) {
    if (data_.content(row).ad) manager.reportVisibility(cell, visiblePart(row));
  }
}

std::set<std::string> ReuseTable::adsHalfOnScreen() {
  std::set<std::string> uuids;
  for (const auto& [row, cell] : visible_) {
    const auto& ad = data_.content(row).ad;
    if (ad && visiblePart(row).size.height * 2 >= kRowHeight) uuids.insert(ad->uuid());
  }
  return uuids;
}

Rect ReuseTable::visiblePart(long long row) const {
  const double y = kRowHeight * static_cast<double>(row) - offset_;
  const double top = std::max(0.0, -y);
  const double bottom = std::min(kRowHeight, kScreenHeight - y);
  return bottom > top ? Rect(0, top, kScreenWidth, bottom - top) : Rect();
}

double ReuseTable::bottom() const {
  return std::max(0.0, kRowHeight * static_cast<double>(rows_) - kScreenHeight);
}

void ReuseTable::check(bool imagesMayBePending, RowFaults& faults) {
  for (const auto& [row, cell] : visible_) {
    checkRow(*cell, data_.content(row), imagesMayBePending, faults);
  }
}

std::vector<PictureRow> ReuseTable::screen() {
  std::vector<PictureRow> rows;
  for (const auto& [row, cell] : visible_) {
    rows.push_back(
        {cell, kRowHeight * static_cast<double>(row) - offset_, data_.content(row).ad != nullptr});
  }
  return rows;
}

std::shared_ptr<ui::TableViewCell> ReuseTable::makeCell() {
  ++made_;
  auto cell = ui::make<ui::TableViewCell>(ui::TableViewCell::Style::subtitle);
  cell->setFrame(Rect(0, 0, kScreenWidth, kRowHeight));
  return cell;
}

}  // namespace ovix::tool
