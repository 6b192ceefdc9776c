// Stopping the worker pool, as happens at exit.
#include "platform/dispatch/ThreadPool.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace ovix::dispatch {
namespace {

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

}  // namespace
}  // namespace ovix::dispatch
