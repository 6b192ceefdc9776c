#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace ovix::test {

// Sends standard output to a temporary file until stop(), which returns what
// was written. Not reentrant.
class CaptureStdout {
 public:
  CaptureStdout() { ::testing::internal::CaptureStdout(); }
  ~CaptureStdout() { stop(); }
  CaptureStdout(const CaptureStdout&) = delete;
  CaptureStdout& operator=(const CaptureStdout&) = delete;

  std::string stop() {
    if (stopped_) return "";
    stopped_ = true;
    return ::testing::internal::GetCapturedStdout();
  }

 private:
  bool stopped_ = false;
};

// How many times `what` stands in captured `text`, overlaps included.
inline std::size_t occurrences(const std::string& text, std::string_view what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

}  // namespace ovix::test
