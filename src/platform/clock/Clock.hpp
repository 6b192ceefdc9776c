#pragma once

#include <chrono>

// The monotonic clock that the SDK's lifetimes are measured on, with a seam
// for tests to move it.
namespace ovix::clock {

using TimePoint = std::chrono::steady_clock::time_point;
using Duration = std::chrono::steady_clock::duration;

// The time now. Any thread.
TimePoint now();

// Makes now() ask `source` instead of the steady clock; null restores it. For
// tests, which set it before the code they test runs. Any thread.
void setSourceForTesting(TimePoint (*source)());

// `seconds` as a duration: 0 for NaN and non-positive values, and at most a
// century, so that it can be added to any time now() returns.
Duration fromSeconds(double seconds);

}  // namespace ovix::clock
