#include "fuzz/FuzzSupport.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "ovix/Logging.hpp"

namespace ovix::fuzz {

void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
  std::abort();
}

void logToNowhere() {
  const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0) {
    std::fflush(stdout);
    ::dup2(nowhere, STDOUT_FILENO);
    ::close(nowhere);
  }
  logging = true;
}

}  // namespace ovix::fuzz
