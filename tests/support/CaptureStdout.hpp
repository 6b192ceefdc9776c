#pragma once

#include <string>
#include <string_view>

namespace ovix::test {

// Sends standard output to a temporary file until stop(), which returns what
// was written. Not reentrant.
class CaptureStdout {
 public:
  CaptureStdout();
  ~CaptureStdout();
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;

  std::string stop();

 private:
  int saved_ = -1;
  int file_ = -1;
};

// How many times `what` stands in captured `text`, overlaps included.
std::size_t occurrences(const std::string& text, std::string_view what);

}  // namespace ovix::test
