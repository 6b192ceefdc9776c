// Stopping the worker pool, as happens at exit.
#include "platform/dispatch/ThreadPool.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace ovix::dispatch {
namespace {

using namespace std::chrono_literals;

TEST(ThreadPoolTest, StoppingFinishesRunningTasksAndDropsTheRestAndWhatComesLater) {
  ThreadPool pool(1);
  std::promise<void> started;
  std::promise<void> go;
  bool finished = false;
  pool.async([&, wait = go.get_future().share()] {
    started.set_value();
    wait.wait();
    finished = true;
  });
  started.get_future().wait();
  auto queued = std::make_shared<int>(0);
  std::weak_ptr<int> queuedWatch = queued;
  pool.async([queued = std::move(queued)] { ++*queued; });

  std::thread stopper([&] { pool.stop(); });
  go.set_value();
  stopper.join();
  EXPECT_TRUE(finished) << "the running task ended before stop() returned";
  EXPECT_TRUE(queuedWatch.expired()) << "the task not started was dropped";

  auto late = std::make_shared<int>(0);
  std::weak_ptr<int> lateWatch = late;
  EXPECT_FALSE(pool.tryAsync([late = std::move(late)] { ++*late; }));
  EXPECT_TRUE(lateWatch.expired());
  pool.stop();  // again: nothing
}

// A host that exits from an SDK callback stops the pool from a worker. Like
// the global pool, this one is never destroyed: the worker that stopped it
// still leaves through it.
TEST(ThreadPoolTest, AWorkerThatStopsItsOwnPoolIsNotJoined) {
  static ThreadPool* const pool = new ThreadPool(2);
  std::promise<void> stopped;
  pool->async([&] {
    pool->stop();  // joining itself would throw and end the process
    stopped.set_value();
  });
  ASSERT_EQ(stopped.get_future().wait_for(10s), std::future_status::ready);
  EXPECT_FALSE(pool->tryAsync([] {}));
}

}  // namespace
}  // namespace ovix::dispatch
