#pragma once

#include "ovix/platform/Dispatch.hpp"

// The count behind dispatch::pendingWork(): every task posted to an SDK queue
// counts from its posting until it has run and been destroyed (or dropped),
// and every transfer from its start until its handler has returned. Work that
// waits elsewhere holds a PendingWork.
namespace ovix::dispatch {

// Counts as pending work from construction to destruction.
class PendingWork {
 public:
  PendingWork();
  ~PendingWork();
  PendingWork(const PendingWork&) = delete;
  PendingWork& operator=(const PendingWork&) = delete;
};

// `task`, counted as pending work until it has run and is destroyed. The
// queues count what is posted to them this way.
Task counted(Task task);

}  // namespace ovix::dispatch
