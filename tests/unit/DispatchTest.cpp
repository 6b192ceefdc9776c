#include "ovix/platform/Dispatch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <ranges>
#include <stdexcept>
#include <vector>

namespace ovix::dispatch {
namespace {

using namespace std::chrono_literals;

TEST(DispatchTest, MainQueueRunsOnTheMainThreadInOrderWhenTheHostDrivesIt) {
  ASSERT_TRUE(isMainThread());
  std::vector<int> order;
  std::promise<void> drained;
  mainQueue().async([&] { order.push_back(1); });
  globalQueue().async([&, go = drained.get_future().share()] {
    go.wait();
    // Off the main thread and on no queue of its own, or the 3 never comes.
    if (!isMainThread() && !currentQueue()) mainQueue().async([&] { order.push_back(3); });
  });
  mainQueue().async([&] { order.push_back(2); });
  EXPECT_EQ(drainMainQueue(), 2u);
  drained.set_value();
  EXPECT_TRUE(runMainQueueUntil([&] { return order.size() == 3; }, 10s));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(runMainQueueUntil([] { return false; }, 20ms)) << "gives up at the time-out";
}

TEST(DispatchTest, HostExecutorReceivesQueuedAndLaterTasks) {
  mainQueue().async([] {});
  std::atomic<int> handedOver{0};
  setMainExecutor([&](Task) { ++handedOver; });
  std::promise<void> posted;
  globalQueue().async([&] {
    mainQueue().async([] {});
    posted.set_value();
  });
  posted.get_future().wait();
  setMainExecutor(nullptr);
  EXPECT_EQ(handedOver, 2);
  EXPECT_EQ(drainMainQueue(), 0u);
}

TEST(DispatchTest, SerialQueueRunsOneTaskAtATimeInOrderAndIsCurrentInsideThem) {
  auto queue = makeSerialQueue();
  std::vector<int> order;  // touched only by the queue's tasks
  std::atomic<int> running{0};
  std::atomic<bool> broken{false};
  std::promise<void> finished;
  for (int i = 0; i < 100; ++i) {
    queue->async([&, i] {
      if (running.fetch_add(1) != 0 || currentQueue() != queue) broken = true;
      order.push_back(i);
      running.fetch_sub(1);
      if (i == 99) finished.set_value();
    });
  }
  finished.get_future().wait();
  EXPECT_FALSE(broken) << "tasks overlapped, or ran outside their queue";
  EXPECT_TRUE(std::ranges::equal(order, std::views::iota(0, 100)));
}

// A host's callback that throws: the exception reaches the host's loop, and
// no task queued after it is lost.
TEST(DispatchTest, ExceptionOfATaskReachesTheCallerAndTheTasksAfterItStayQueuedInOrder) {
  std::vector<int> order;
  const auto post = [&](int i) {
    mainQueue().async([&order, i] {
      order.push_back(i);
      if (i < 0) throw std::runtime_error("host");
    });
  };
  for (const int i : {1, -2, 3}) post(i);
  EXPECT_THROW(drainMainQueue(), std::runtime_error);
  for (const int i : {4, -5, 6}) post(i);
  EXPECT_THROW(runMainQueueUntil([&] { return order.size() == 6; }, 10s), std::runtime_error);
  EXPECT_EQ(drainMainQueue(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, -2, 3, 4, -5, 6}));
  EXPECT_TRUE(waitForPendingWork(10s)) << "the throwers' tasks ended";
}

}  // namespace
}  // namespace ovix::dispatch
