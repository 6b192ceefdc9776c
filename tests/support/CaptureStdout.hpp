#pragma once

#include <string>

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

}  // namespace ovix::test
