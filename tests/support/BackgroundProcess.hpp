#pragma once

#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ovix::test {

// A program running beside the test, written to on its standard input, its
// standard output read line by line and its standard error collected. Killed
// and reaped when this goes, if still running. One thread at a time.
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
  bool write(std::string_view text) {
    return ::send(fds_[0], text.data(), text.size(), MSG_NOSIGNAL) == ssize_t(text.size());
  }
  // Sends `signal`, then as wait().
  int stop(int signal) {
    if (pid_ > 0) ::kill(pid_, signal);
    return wait();
  }
  // Reads all the output and reaps the process once it ends; one still
  // running after `timeout` (if not negative) is killed. Returns its exit
  // status, or -1 when it did not exit normally or was killed.
  int wait(std::chrono::milliseconds timeout = std::chrono::milliseconds(-1));
  // The rest of standard output after stop() or wait(), and all of standard error.
  const std::string& remainingOutput() const { return out_; }
  const std::string& errors() const { return err_; }

 private:
  using Clock = std::chrono::steady_clock;
  using Deadline = Clock::time_point;  // max(): none
  // Reads what is ready on standard output or error, waiting for it up to
  // `deadline`; false when that passed first.
  bool pump(Deadline deadline);

  pid_t pid_ = -1;
  int fds_[3] = {-1, -1, -1};  // our ends of its standard input, output and error
  std::string out_;
  std::string err_;
};

// Runs `argv` (argv[0] a path) to its end: its exit status as wait() gives
// it, and its standard output followed by its standard error.
std::pair<int, std::string> runProcess(const std::vector<std::string>& argv);

}  // namespace ovix::test
