#include "ovix/platform/Button.hpp"

#include <gtest/gtest.h>

namespace ovix::ui {
namespace {

using Views = std::vector<std::shared_ptr<View>>;

struct Listener {
  int taps = 0;
  void onTap(Button&) { ++taps; }
};

TEST(ViewTest, AddSubviewStacksMovesReparentsAndRefusesCycles) {
  auto root = make<View>();
  const auto a = make<View>(), b = make<View>(), other = make<View>();
  for (const auto& view : {a, b, a}) root->addSubview(view);
  EXPECT_EQ(root->subviews(), (Views{b, a})) << "re-adding brings it to the top";
  other->addSubview(a);
  EXPECT_EQ(root->subviews(), (Views{b}));
  EXPECT_EQ(a->superview(), other);
  for (const auto& view : {root, b, std::shared_ptr<View>()}) b->addSubview(view);
  EXPECT_TRUE(b->subviews().empty());
  EXPECT_EQ(root->superview(), nullptr);

  // Subviews are owned, superviews are not.
  const std::weak_ptr<View> watchRoot = root;
  root.reset();
  EXPECT_TRUE(watchRoot.expired());
  EXPECT_EQ(b->superview(), nullptr);
}

TEST(ViewTest, TapsReachLiveTargetsInOrderAndAnActionMayDropItsButton) {
  const auto cell = make<View>();
  cell->addSubview(make<Button>());
  const std::weak_ptr<Button> button = std::static_pointer_cast<Button>(cell->subviews().front());
  const auto first = std::make_shared<Listener>();
  auto second = std::make_shared<Listener>();
  std::vector<int> order;
  button.lock()->addTarget(second, &Listener::onTap);
  button.lock()->addTarget(first, [&order](Button&) { order.push_back(1); });
  button.lock()->addTarget(second, [&order](Button&) { order.push_back(2); });
  button.lock()->sendTouchUpInside();
  EXPECT_EQ(second->taps, 1);
  const std::weak_ptr<Listener> watch = second;
  second.reset();
  EXPECT_TRUE(watch.expired()) << "the button does not own its targets";
  button.lock()->sendTouchUpInside();  // the dead ones are skipped
  EXPECT_EQ(order, (std::vector<int>{1, 2, 1}));

  int later = 0;
  button.lock()->addTarget(first, [&](Button& tapped) {
    tapped.addTarget(first, [&](Button&) { ++later; });
    tapped.removeFromSuperview();  // drops its last owner while running
  });
  button.lock()->sendTouchUpInside();
  EXPECT_TRUE(button.expired());
  EXPECT_TRUE(cell->subviews().empty());
  EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace ovix::ui
