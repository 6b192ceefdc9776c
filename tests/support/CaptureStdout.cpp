#include "support/CaptureStdout.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace ovix::test {

CaptureStdout::CaptureStdout() {
  std::fflush(stdout);
  char name[] = "/tmp/ovix-stdout-XXXXXX";
  file_ = ::mkstemp(name);
  ::unlink(name);
  saved_ = ::dup(STDOUT_FILENO);
  ::dup2(file_, STDOUT_FILENO);
}

CaptureStdout::~CaptureStdout() {
  stop();
}

std::string CaptureStdout::stop() {
  if (saved_ < 0) return "";
  std::fflush(stdout);
  ::dup2(saved_, STDOUT_FILENO);
  ::close(saved_);
  saved_ = -1;
  std::string text;
  char buffer[4096];
  ::lseek(file_, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(file_, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  ::close(file_);
  file_ = -1;
  return text;
}

std::size_t occurrences(const std::string& text, std::string_view what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace ovix::test
