#include "support/BackgroundProcess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

extern char** environ;

namespace ovix::test {

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  int in[2] = {-1, -1};
  int out[2] = {-1, -1};
  int err[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
      if (fd >= 0) ::close(fd);
    }
    return;
  }
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  ::posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) pid_ = pid;
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in_fd_ = in[1];
  out_fd_ = out[0];
  err_fd_ = err[0];
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) stop(SIGKILL);
  for (int fd : {in_fd_, out_fd_, err_fd_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool BackgroundProcess::write(std::string_view text) {
  if (in_fd_ < 0) return false;
  // A process that has gone raises SIGPIPE: keep it from ending the test,
  // and take it back if it came.
  sigset_t pipe;
  sigset_t saved;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe, &saved);
  bool written = true;
  while (written && !text.empty()) {
    const ssize_t n = ::write(in_fd_, text.data(), text.size());
    written = n > 0;
    if (written) text.remove_prefix(static_cast<std::size_t>(n));
  }
  if (!written) {
    const timespec none{0, 0};
    ::sigtimedwait(&pipe, nullptr, &none);
  }
  ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return written;
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
  return wait(std::chrono::milliseconds(-1));
}

int BackgroundProcess::wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return -1;
  if (in_fd_ >= 0) {
    ::close(in_fd_);
    in_fd_ = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool killed = false;
  while (out_fd_ >= 0 || err_fd_ >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (timeout.count() >= 0 && left.count() <= 0 && !killed) {
      ::kill(pid_, SIGKILL);
      killed = true;
    }
    pump(timeout.count() < 0 || killed ? -1 : static_cast<int>(left.count()));
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace ovix::test
