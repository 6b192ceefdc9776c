#include "ovix/DecodeBudget.hpp"

#include <algorithm>
#include <vector>

#include "Limits.hpp"
#include "ovix/platform/Dispatch.hpp"
#include "platform/dispatch/PendingWork.hpp"

namespace ovix {

DecodeBudget& DecodeBudget::shared() {
  // Never destroyed: workers still decoding at exit give their bytes back.
  static DecodeBudget* const budget = new DecodeBudget(limits::kDecodeBudgetBytes);
  return *budget;
}

void DecodeBudget::run(std::size_t bytes, Work work) {
  bytes = std::min(bytes, capacity_);
  {
    std::lock_guard lock(mutex_);
    if (!waiting_.empty() || used_ + bytes > capacity_) {
      // Pending work while it waits, as if posted.
      waiting_.push_back(Waiting{bytes, dispatch::counted(std::move(work))});
      return;
    }
    used_ += bytes;
  }
  runHolding(bytes, work);
}

void DecodeBudget::runHolding(std::size_t bytes, const Work& work) {
  struct Held {
    DecodeBudget& budget;
    std::size_t bytes;
    ~Held() { budget.release(bytes); }
  } held{*this, bytes};
  work();
}

void DecodeBudget::release(std::size_t bytes) {
  std::vector<Waiting> ready;
  {
    std::lock_guard lock(mutex_);
    used_ -= bytes;
    while (!waiting_.empty() && used_ + waiting_.front().bytes <= capacity_) {
      used_ += waiting_.front().bytes;
      ready.push_back(std::move(waiting_.front()));
      waiting_.pop_front();
    }
  }
  for (Waiting& next : ready) {
    dispatch::globalQueue().async(
        [this, next = std::move(next)] { runHolding(next.bytes, next.work); });
  }
}

std::size_t DecodeBudget::used() const {
  std::lock_guard lock(mutex_);
  return used_;
}

}  // namespace ovix
