#include <gtest/gtest.h>

#include <typeinfo>

#include "ovix/platform/CollectionViewCell.hpp"
#include "ovix/platform/TableViewCell.hpp"

namespace ovix::ui {
namespace {

class AdCell : public TableViewCell {
 public:
  explicit AdCell(ViewKey key) : TableViewCell(key, Style::subtitle) {}
};

TEST(CellTest, DetailLabelExistsOnlyInStylesWithOne) {
  EXPECT_EQ(make<TableViewCell>()->detailTextLabel(), nullptr);
  for (auto style : {TableViewCell::Style::value1, TableViewCell::Style::value2,
                     TableViewCell::Style::subtitle}) {
    const auto cell = make<TableViewCell>(style);
    ASSERT_NE(cell->detailTextLabel(), nullptr);
    EXPECT_EQ(cell->detailTextLabel()->superview(), cell->contentView());
  }
}

TEST(CellTest, PartsLiveInTheContentViewWhichFollowsTheCell) {
  const auto cell = make<TableViewCell>(TableViewCell::Style::subtitle);
  EXPECT_EQ(cell->subviews(), std::vector<std::shared_ptr<View>>{cell->contentView()});
  EXPECT_EQ(cell->contentView()->superview(), cell);
  EXPECT_EQ(cell->imageView()->superview(), cell->contentView());
  EXPECT_EQ(cell->textLabel()->superview(), cell->contentView());
  EXPECT_EQ(cell->textLabel()->lineBreakMode(), LineBreakMode::truncatingTail);

  cell->setFrame(Rect(0, 120, 320, 80));
  EXPECT_EQ(cell->contentView()->frame(), Rect(0, 0, 320, 80));

  const auto item = make<CollectionViewCell>(Rect(10, 10, 100, 50));
  EXPECT_EQ(item->contentView()->superview(), item);
  EXPECT_EQ(item->contentView()->frame(), Rect(0, 0, 100, 50));
  item->setFrame(Rect(0, 0, 60, 60));
  EXPECT_EQ(item->contentView()->frame(), Rect(0, 0, 60, 60));
}

TEST(CellTest, SubclassesKeepTheirExactClass) {
  const std::shared_ptr<View> cell = make<AdCell>();
  EXPECT_TRUE(typeid(*cell) == typeid(AdCell));
  EXPECT_FALSE(typeid(*cell) == typeid(TableViewCell));
  const auto asCell = std::dynamic_pointer_cast<TableViewCell>(cell);
  ASSERT_TRUE(asCell);
  EXPECT_NE(asCell->detailTextLabel(), nullptr);
  EXPECT_EQ(asCell->contentView()->superview(), cell);
}

}  // namespace
}  // namespace ovix::ui
