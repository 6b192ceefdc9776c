#pragma once

namespace ovix::dispatch {

// Counts as pending work from construction to destruction. Hold one in each
// object that stands for background work.
class PendingWork {
 public:
  PendingWork();
  ~PendingWork();
  PendingWork(const PendingWork&) = delete;
  PendingWork& operator=(const PendingWork&) = delete;
};

}  // namespace ovix::dispatch
