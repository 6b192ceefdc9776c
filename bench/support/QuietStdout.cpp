#include "support/QuietStdout.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace ovix::bench {

QuietStdout::QuietStdout() {
  std::cout.flush();
  std::fflush(stdout);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = ::dup(STDOUT_FILENO);
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
}

QuietStdout::~QuietStdout() {
  if (saved_ < 0) return;
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
}

}  // namespace ovix::bench
