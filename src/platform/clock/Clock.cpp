#include "platform/clock/Clock.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace ovix::clock {
namespace {

std::atomic<TimePoint (*)()> source{nullptr};

}  // namespace

TimePoint now() {
  const auto ask = source.load(std::memory_order_acquire);
  return ask ? ask() : std::chrono::steady_clock::now();
}

void setSourceForTesting(TimePoint (*replacement)()) {
  source.store(replacement, std::memory_order_release);
}

Duration fromSeconds(double seconds) {
  constexpr double kCentury = 100.0 * 365 * 24 * 3600;
  if (!(seconds > 0)) return Duration::zero();
  return std::chrono::duration_cast<Duration>(
      std::chrono::duration<double>(std::min(seconds, kCentury)));
}

}  // namespace ovix::clock
