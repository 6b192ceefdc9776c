#pragma once

#include <functional>
#include <utility>

namespace ovix::dispatch {

// Runs a function at exit, where static objects are destroyed: after the
// statics made later than it, before those made earlier. Make it a static
// beside the object it stops, so that the object itself is never destroyed
// and threads still running at exit find it stopped rather than gone.
class AtExit {
 public:
  explicit AtExit(std::function<void()> atExit) : atExit_(std::move(atExit)) {}
  ~AtExit() { atExit_(); }
  AtExit(const AtExit&) = delete;
  AtExit& operator=(const AtExit&) = delete;

 private:
  std::function<void()> atExit_;
};

}  // namespace ovix::dispatch
