#include "FeedDataSource.hpp"

#include "FeedCells.hpp"

namespace ovix::tool {

const RowContent& FeedDataSource::content(long long row) {
  const auto found = rows_.find(row);
  if (found != rows_.end()) return found->second;
  RowContent content;
  if (row % 4 == 3) {
    content.ad = OvixManager::shared().hasNextAd(adRows_ % 4 < 2 ? "top-feed" : "news-feed");
  }
  if (content.ad) {
    content.kind = adRows_++ % 2 == 0 ? RowContent::Kind::defaultAd : RowContent::Kind::customAd;
  } else {
    content.story = stories_++;
  }
  return rows_[row] = content;
}

void FeedDataSource::show(const std::shared_ptr<ui::TableViewCell>& cell, const RowContent& row) {
  auto& manager = OvixManager::shared();
  // The custom binding keeps the image's natural size, so the host fits the
  // image view to the row; for the other rows the cell lays it out.
  const bool custom = row.kind == RowContent::Kind::customAd;
  cell->imageView()->setFrame(custom ? Rect(15, 10, 96, 60) : Rect());
  if (!row.ad) {
    manager.prepareForReuse(cell);
    showStory(*cell, row.story);
    return;
  }
  setLoaded(*cell, false);
  if (custom) {
    manager.setInfeed(cell, row.ad, cell->imageView(), cell->textLabel(), nullptr,
                      cell->detailTextLabel(), nullptr, kRowHeight);
  } else {
    manager.setInfeed(cell, row.ad, kRowHeight, Size{96, 60});
  }
}

}  // namespace ovix::tool
