#pragma once

#include <map>
#include <memory>

#include "ovix/Ovix.hpp"

// The scrolling feed's data source: what each row shows, and how a reused
// cell comes to show it. Main thread, like the cells.
namespace ovix::tool {

// A row's content.
struct RowContent {
  enum class Kind { story, defaultAd, customAd };
  Kind kind = Kind::story;
  std::shared_ptr<OvixAdInfo> ad;  // null for a story
  int story = 0;                   // the story's number, for a story
};

class FeedDataSource {
 public:
  // The content of `row`, decided when first asked: every fourth row an ad,
  // two from top-feed then two from news-feed, the default and the custom
  // binding in turn; a story otherwise, or when the slot has no ad.
  const RowContent& content(long long row);

  // Shows `row` in `cell`, a plain subtitle cell that may have shown any
  // other row before: what a table's cell-for-row callback does.
  static void show(const std::shared_ptr<ui::TableViewCell>& cell, const RowContent& row);

  int adRows() const { return adRows_; }

 private:
  std::map<long long, RowContent> rows_;
  int adRows_ = 0;
  int stories_ = 0;
};

}  // namespace ovix::tool
