#include "ReuseTable.hpp"

#include <algorithm>
#include <cmath>

#include "FeedCells.hpp"

namespace ovix::tool {

ReuseTable::ReuseTable(long long rows) : rows_(rows) {
  const auto poolSize = static_cast<std::size_t>(kScreenHeight / kRowHeight) + 2;
  while (free_.size() < poolSize) free_.push_back(makeCell());
}

void ReuseTable::scrollTo(double offset) {
  offset_ = offset;
  const auto first = static_cast<long long>(offset / kRowHeight);
  const auto end = static_cast<long long>(std::ceil((offset + kScreenHeight) / kRowHeight));
  const auto last = std::min(rows_, end) - 1;
  for (auto it = visible_.begin(); it != visible_.end();) {
    const bool gone = it->first < first || it->first > last;
    if (gone) free_.push_back(it->second);
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
    OvixManager::shared().tryImpression(cell, kDisplayCallback);
    if (content.ad) beacons_.displayed(*content.ad);
  }
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
