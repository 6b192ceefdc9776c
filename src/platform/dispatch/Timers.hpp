#pragma once

#include "ovix/platform/Dispatch.hpp"
#include "platform/clock/Clock.hpp"

// Work that waits for a time: impression timings, retries.
namespace ovix::dispatch {

// Posts `task` to `queue` once `delay` has passed on clock::now(), from a
// timer thread of its own. `queue` must outlive the wait (the main and
// global queues do). Timers are not pending work: a host that exits drops
// them. Any thread.
void after(clock::Duration delay, Queue& queue, Task task);

// Has the timer thread look at the clock now, for tests that move it.
void checkTimersNow();

}  // namespace ovix::dispatch
