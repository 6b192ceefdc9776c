#include "support/BackgroundProcess.hpp"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ovix::test {

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  // Socket pairs rather than pipes, so that writing to a process that has
  // gone fails without raising SIGPIPE.
  int child[3];  // its ends, which become its descriptors 0, 1 and 2
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  for (int i = 0; i < 3; ++i) {
    int ends[2] = {-1, -1};
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
    child[i] = ends[0];
    fds_[i] = ends[1];
    ::posix_spawn_file_actions_adddup2(&actions, child[i], i);
  }
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
  ::posix_spawn_file_actions_destroy(&actions);
  for (int fd : child) ::close(fd);  // -1 for one not made: harmless (the child then shares ours)
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) stop(SIGKILL);
  for (int fd : fds_) ::close(fd);
}

bool BackgroundProcess::pump(Deadline deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  pollfd polled[2] = {{fds_[1], POLLIN, 0}, {fds_[2], POLLIN, 0}};
  // poll() skips the closed ones, whose descriptors are negative.
  const int ready =
      ::poll(polled, 2, deadline == Deadline::max() ? -1 : std::max(0, int(left.count())));
  if (ready <= 0) return ready < 0;  // interrupted, or out of time
  for (int i = 1; i <= 2; ++i) {
    if (polled[i - 1].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fds_[i], buffer, sizeof buffer);
    if (n > 0) {
      (i == 1 ? out_ : err_).append(buffer, std::size_t(n));
    } else {
      ::close(fds_[i]);
      fds_[i] = -1;
    }
  }
  return true;
}

std::optional<std::string> BackgroundProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (out_.find('\n') == std::string::npos) {
    if (fds_[1] < 0 || !pump(deadline)) return std::nullopt;
  }
  std::string line = out_.substr(0, out_.find('\n'));
  out_.erase(0, line.size() + 1);
  return line;
}

int BackgroundProcess::wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return -1;
  ::close(fds_[0]);
  fds_[0] = -1;
  auto deadline = timeout.count() < 0 ? Deadline::max() : Clock::now() + timeout;
  bool killed = false;
  while (fds_[1] >= 0 || fds_[2] >= 0) {
    if (!pump(deadline)) {
      ::kill(pid_, SIGKILL);
      killed = true;
      deadline = Deadline::max();
    }
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::pair<int, std::string> runProcess(const std::vector<std::string>& argv) {
  BackgroundProcess process(argv);
  const int status = process.wait();
  return {status, process.remainingOutput() + process.errors()};
}

}  // namespace ovix::test
