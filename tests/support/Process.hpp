#pragma once

#include <string>
#include <vector>

namespace ovix::test {

struct ProcessResult {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] a path) to its end and collects its output.
ProcessResult runProcess(const std::vector<std::string>& argv);

}  // namespace ovix::test
