#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovix::test {

// A program running beside the test, written to on its standard input, its
// standard output read line by line and its standard error collected. Killed and reaped when this
// goes, if still running. One thread at a time.
class BackgroundProcess {
 public:
  // Starts `argv` (argv[0] a path); running() tells whether that worked.
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // The next line of standard output without its line feed; nothing at the
  // end of the output or when none comes within `timeout`.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // Writes to its standard input; false once the process no longer reads it.
  bool write(std::string_view text);
  // Sends `signal`, reads the rest of standard output and reaps the process.
  // Returns its exit status, or -1 when it did not exit normally.
  int stop(int signal);
  // Reads all the output and reaps the process once it ends by itself.
  // Returns its exit status, or -1 when it did not exit normally.
  int wait();
  // As wait(), but a process still running after `timeout` is killed: -1.
  int wait(std::chrono::milliseconds timeout);
  // The rest of standard output after stop() or wait(), and all of standard error.
  const std::string& remainingOutput() const { return out_; }
  const std::string& errors() const { return err_; }

 private:
  // Reads what is ready on either pipe, waiting up to `timeoutMs` (-1: no limit).
  void pump(int timeoutMs);

  pid_t pid_ = -1;
  int in_fd_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  std::string out_;
  std::string err_;
};

}  // namespace ovix::test
