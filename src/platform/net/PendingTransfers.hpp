#pragma once

// The count behind pendingTransfers() and waitForIdle().
namespace ovix::net::pending {

// A transfer was resumed. Any thread.
void begin();
// Its completion handler returned. Any thread.
void end();

}  // namespace ovix::net::pending
