#pragma once

namespace ovix::tool {

// `ovix load`: builds a request from the options, loads it from the main
// thread and prints the outcome and the rotated ads. Returns the exit status.
int runLoad(int argc, char** argv);

}  // namespace ovix::tool
