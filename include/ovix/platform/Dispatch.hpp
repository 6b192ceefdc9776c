#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "ovix/Export.hpp"

// Dispatch queues: where the SDK runs its work, and how a host's event loop
// runs the SDK's main-thread work.
//
// The main queue is serial and runs on the host's main thread. A host either
// drives it from its own loop (drainMainQueue, runMainQueueUntil) or installs an
// executor that hands each main-queue task to its own loop. The global queue is
// a fixed pool of worker threads.
namespace ovix::dispatch {

using Task = std::function<void()>;

// A queue that tasks are submitted to. Thread-safe: submit from any thread.
class OVIX_EXPORT Queue {
 public:
  virtual ~Queue() = default;
  // Runs the task later, never inside this call.
  virtual void async(Task task) = 0;
};

// The main queue. Tasks run one at a time, in order, on the main thread.
OVIX_EXPORT Queue& mainQueue();

// The global concurrent queue of default priority.
OVIX_EXPORT Queue& globalQueue();

// A new serial queue: its tasks run one at a time, in order, on global-queue
// workers. The queue lives while anyone holds it or a task of it is pending.
OVIX_EXPORT std::shared_ptr<Queue> makeSerialQueue();

// The queue whose task runs on this thread: the main queue on the main thread,
// a serial queue inside its tasks, otherwise none. Call from any thread.
OVIX_EXPORT std::shared_ptr<Queue> currentQueue();

// Whether the calling thread is the main thread: the process's initial thread
// unless the host named another with setMainThread.
OVIX_EXPORT bool isMainThread();

// Names the host's main thread. Call once, before the first use of the SDK.
OVIX_EXPORT void setMainThread(std::thread::id id);

// Runs the main-queue tasks queued now (not those they queue in turn).
// Returns how many ran. Call on the main thread.
//
// An exception thrown by a task (a host's callback) leaves this call, and
// runMainQueueUntil, to the caller; the tasks after it stay queued, in order,
// for the next run.
OVIX_EXPORT std::size_t drainMainQueue();

// Runs main-queue tasks as they arrive until `done` returns true or the
// time-out passes; `done` is tested before each wait. Returns the last answer
// of `done`. Call on the main thread.
OVIX_EXPORT bool runMainQueueUntil(const std::function<bool()>& done,
                                   std::chrono::milliseconds timeout);

// Hands every later main-queue task to the host's executor, which must run it
// on the main thread; tasks already queued go to it at once. An empty function
// brings back the SDK's own queue. Call on the main thread.
using Executor = std::function<void(Task)>;
OVIX_EXPORT void setMainExecutor(Executor executor);

// Work the SDK has in flight in the background: loads, image downloads,
// beacons, and every transfer until its completion handler has returned, so
// that none is pending while this is 0. Any thread.
OVIX_EXPORT std::size_t pendingWork();

// Waits until pendingWork() is 0 or the time-out passes; on the main thread it
// runs the main queue meanwhile. Returns whether all work is done.
OVIX_EXPORT bool waitForPendingWork(std::chrono::milliseconds timeout);

}  // namespace ovix::dispatch
