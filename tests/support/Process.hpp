#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace ovix::test {

struct ProcessResult {
  int status = -1;  // the exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] a path) to its end and collects its output.
ProcessResult runProcess(const std::vector<std::string>& argv);

// A child process with pipes to its standard input, output and error, for
// tests that talk to it while it runs. Use from one thread.
class ChildProcess {
 public:
  // Starts `argv` (argv[0] a path); running() tells whether that worked.
  explicit ChildProcess(const std::vector<std::string>& argv);
  // Kills and reaps the child if wait() did not.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // Writes to its standard input; false once the child no longer reads it.
  bool write(std::string_view text);
  // Closes its standard input, collects its output until it exits and reaps
  // it. A child still running after `timeout` is killed: status -1.
  ProcessResult wait(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int err_ = -1;
};

}  // namespace ovix::test
