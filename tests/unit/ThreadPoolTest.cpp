// Stopping the worker pool, as happens at exit.
#include "platform/dispatch/ThreadPool.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace ovix::dispatch {
namespace {

TEST(ThreadPoolTest, StoppingFinishesRunningTasksAndDropsTheRestAndWhatComesLater) {
  ThreadPool pool(1);
  std::promise<void> started, go;
  bool finished = false;
  pool.async([&, wait = go.get_future().share()] {
    started.set_value();
    wait.wait();
    finished = true;
  });
  started.get_future().wait();
  // Held by the task queued (which may still start before stop() takes the
  // queue) and by the one too late: neither is kept.
  const auto token = std::make_shared<int>(0);
  pool.async([token] { ++*token; });

  std::thread stopper([&] { pool.stop(); });
  go.set_value();
  stopper.join();
  EXPECT_TRUE(finished) << "the running task ended before stop() returned";
  EXPECT_FALSE(pool.tryAsync([token] { ++*token; }));
  EXPECT_EQ(token.use_count(), 1) << "a task not started was kept";
  pool.stop();  // again: nothing
}

}  // namespace
}  // namespace ovix::dispatch
