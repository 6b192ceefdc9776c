#pragma once

namespace ovix::tool {

// `ovix feed`: a sample host with a feed, run against the development server
// in-process. Returns the exit status: 0 only when every step worked.
int runFeed(int argc, char** argv);

}  // namespace ovix::tool
