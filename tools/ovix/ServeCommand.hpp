#pragma once

namespace ovix::tool {

// `ovix serve`: runs the development ad server until SIGINT or SIGTERM,
// logging one line per request on standard output. Returns the exit status.
// Call on the main thread before any other thread is started.
int runServe(int argc, char** argv);

}  // namespace ovix::tool
