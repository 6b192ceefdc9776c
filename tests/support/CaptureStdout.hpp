#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ovix::test {

// Sends standard output to a temporary file until stop(), which returns what
// was written. Not reentrant.
class CaptureStdout {
 public:
  CaptureStdout() {
    std::fflush(stdout);
    char name[] = "/tmp/ovix-stdout-XXXXXX";
    file_ = ::mkstemp(name);
    ::unlink(name);
    saved_ = ::dup(STDOUT_FILENO);
    ::dup2(file_, STDOUT_FILENO);
  }
  ~CaptureStdout() { stop(); }
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;

  std::string stop() {
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
    return text;
  }

 private:
  int saved_ = -1;
  int file_ = -1;
};

// How many times `what` stands in captured `text`, overlaps included.
inline std::size_t occurrences(const std::string& text, std::string_view what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace ovix::test
