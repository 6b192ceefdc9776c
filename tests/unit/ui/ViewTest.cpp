#include "ovix/platform/View.hpp"

#include <gtest/gtest.h>

namespace ovix::ui {
namespace {

using Views = std::vector<std::shared_ptr<View>>;

TEST(ViewTest, AddSubviewStacksMovesReparentsAndRefusesCycles) {
  auto root = make<View>();
  auto a = make<View>();
  auto b = make<View>();
  root->addSubview(a);
  root->addSubview(b);
  root->addSubview(a);
  EXPECT_EQ(root->subviews(), (Views{b, a})) << "re-adding brings it to the top";
  EXPECT_EQ(a->superview(), root);

  auto other = make<View>();
  other->addSubview(a);
  EXPECT_EQ(root->subviews(), (Views{b}));
  EXPECT_EQ(a->superview(), other);

  b->addSubview(root);
  b->addSubview(b);
  b->addSubview(nullptr);
  EXPECT_TRUE(b->subviews().empty());
  EXPECT_EQ(root->superview(), nullptr);
}

TEST(ViewTest, SubviewsAreOwnedAndSuperviewsAreNot) {
  auto root = make<View>();
  auto kept = make<View>();
  root->addSubview(kept);
  root->addSubview(make<View>());
  std::weak_ptr<View> onlyInTree = root->subviews().back();
  std::weak_ptr<View> watchRoot = root;
  root.reset();
  EXPECT_TRUE(watchRoot.expired());
  EXPECT_TRUE(onlyInTree.expired());
  EXPECT_EQ(kept->superview(), nullptr);

  auto parent = make<View>();
  parent->addSubview(make<View>());
  onlyInTree = parent->subviews().front();
  parent->subviews().front()->removeFromSuperview();  // drops its last owner while running
  EXPECT_TRUE(onlyInTree.expired());
  EXPECT_TRUE(parent->subviews().empty());
}

TEST(ViewTest, AssociatedObjectsAreReleasedWhenReplacedRemovedOrWithTheView) {
  static const char kFirst = 0;
  static const char kSecond = 0;
  auto view = make<View>();
  auto one = std::make_shared<int>(1);
  std::weak_ptr<int> watchOne = one;
  view->setAssociatedObject(&kFirst, std::move(one));
  view->setAssociatedObject(&kSecond, std::make_shared<int>(2));
  EXPECT_EQ(*std::static_pointer_cast<int>(view->associatedObject(&kFirst)), 1);
  std::weak_ptr<void> two = view->associatedObject(&kSecond);

  view->setAssociatedObject(&kFirst, std::make_shared<int>(3));
  EXPECT_TRUE(watchOne.expired()) << "replaced";
  EXPECT_EQ(*std::static_pointer_cast<int>(view->associatedObject(&kFirst)), 3);
  view->setAssociatedObject(&kSecond, nullptr);
  EXPECT_TRUE(two.expired()) << "removed";
  EXPECT_EQ(view->associatedObject(&kSecond), nullptr);

  std::weak_ptr<void> three = view->associatedObject(&kFirst);
  view.reset();
  EXPECT_TRUE(three.expired()) << "released with the view";
}

}  // namespace
}  // namespace ovix::ui
