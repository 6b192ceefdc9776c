// The memory budget of image decodes in flight.
#include "ovix/DecodeBudget.hpp"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "ovix/platform/Dispatch.hpp"

namespace ovix {
namespace {

using namespace std::chrono_literals;

TEST(DecodeBudgetTest, WorkBeyondTheBudgetWaitsItsTurnWithoutHoldingAThread) {
  // Outlives the workers that give their bytes back after the work returns.
  static DecodeBudget budget(100);
  std::promise<void> started, finish;
  std::thread holder([&] {
    budget.run(80, [&] {
      started.set_value();
      finish.get_future().wait();
    });
  });
  started.get_future().wait();
  EXPECT_EQ(budget.used(), 80u);

  // Does not fit: run() returns at once and the work waits, as does work
  // that would fit but arrived later.
  std::promise<std::size_t> large, small;
  budget.run(50, [&] { large.set_value(budget.used()); });
  budget.run(10, [&] { small.set_value(budget.used()); });
  auto largeRan = large.get_future(), smallRan = small.get_future();
  EXPECT_EQ(largeRan.wait_for(0s), std::future_status::timeout);
  EXPECT_EQ(smallRan.wait_for(0s), std::future_status::timeout) << "jumped the queue";
  std::promise<void> other;
  dispatch::globalQueue().async([&] { other.set_value(); });
  EXPECT_EQ(other.get_future().wait_for(10s), std::future_status::ready);

  finish.set_value();
  holder.join();
  ASSERT_EQ(largeRan.wait_for(10s), std::future_status::ready);
  ASSERT_EQ(smallRan.wait_for(10s), std::future_status::ready);
  EXPECT_LE(largeRan.get(), 100u);
  EXPECT_LE(smallRan.get(), 100u);
}

}  // namespace
}  // namespace ovix
