#pragma once

#include "FeedHost.hpp"

namespace ovix::tool {

// `ovix feed --scroll`: a sample host that reuses its cells as it scrolls a
// long feed, checking screen by screen that every row shows what it should.
// Returns the exit status: 0 only when every check passed. Main thread.
int runScrollFeed(const FeedOptions& options);

}  // namespace ovix::tool
