#include "support/BackgroundProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace ovix::test {

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  out_fd_ = out[0];
  err_fd_ = err[0];
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) stop(SIGKILL);
  if (out_fd_ >= 0) ::close(out_fd_);
  if (err_fd_ >= 0) ::close(err_fd_);
}

void BackgroundProcess::pump(int timeoutMs) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  // poll() skips the closed ones, whose descriptors are negative.
  if (::poll(fds, 2, timeoutMs) <= 0) return;
  std::string* sinks[2] = {&out_, &err_};
  int* descriptors[2] = {&out_fd_, &err_fd_};
  for (int i = 0; i < 2; ++i) {
    if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buffer[4096];
    const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      sinks[i]->append(buffer, static_cast<std::size_t>(n));
    } else {
      ::close(*descriptors[i]);
      *descriptors[i] = -1;
    }
  }
}

std::optional<std::string> BackgroundProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (const auto end = out_.find('\n'); end != std::string::npos) {
      std::string line = out_.substr(0, end);
      out_.erase(0, end + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || out_fd_ < 0) return std::nullopt;
    pump(static_cast<int>(left.count()));
  }
}

int BackgroundProcess::stop(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  return wait();
}

int BackgroundProcess::wait() {
  if (pid_ <= 0) return -1;
  while (out_fd_ >= 0 || err_fd_ >= 0) pump(-1);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ovix::test
