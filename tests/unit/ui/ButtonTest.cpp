#include "ovix/platform/Button.hpp"

#include <gtest/gtest.h>

namespace ovix::ui {
namespace {

struct Listener {
  int taps = 0;
  void onTap(Button&) { ++taps; }
};

TEST(ButtonTest, TapReachesLiveTargetsInOrderAndSkipsDeadOnes) {
  auto button = make<Button>();
  auto first = std::make_shared<Listener>();
  auto second = std::make_shared<Listener>();
  std::vector<int> order;
  button->addTarget(first, &Listener::onTap);
  button->addTarget(std::weak_ptr<void>(second), [&order](Button&) { order.push_back(2); });
  button->addTarget(first, [&order](Button&) { order.push_back(1); });

  button->sendTouchUpInside();
  EXPECT_EQ(first->taps, 1);
  EXPECT_EQ(order, (std::vector<int>{2, 1}));

  std::weak_ptr<Listener> watchSecond = second;
  second.reset();
  EXPECT_TRUE(watchSecond.expired()) << "the button does not own its target";
  button->sendTouchUpInside();
  EXPECT_EQ(first->taps, 2);
  EXPECT_EQ(order, (std::vector<int>{2, 1, 1}));

  first.reset();
  button->sendTouchUpInside();  // nobody left: nothing runs
  EXPECT_EQ(order.size(), 3u);
}

TEST(ButtonTest, ActionMayDropTheButtonOrAddTargets) {
  auto cell = make<View>();
  cell->addSubview(make<Button>());
  auto button = std::static_pointer_cast<Button>(cell->subviews().front());
  std::weak_ptr<Button> watch = button;
  button.reset();
  auto owner = std::make_shared<int>(0);
  int later = 0;
  watch.lock()->addTarget(owner, [&](Button& tapped) {
    tapped.addTarget(owner, [&](Button&) { ++later; });
    tapped.removeFromSuperview();
  });
  watch.lock()->sendTouchUpInside();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace ovix::ui
