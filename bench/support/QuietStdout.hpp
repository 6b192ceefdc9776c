#pragma once

// Sends standard output to /dev/null while it lives, so that lines the SDK
// prints whatever the log switch (a client's "deinit") stay out of the
// benchmark report. Not reentrant.
namespace ovix::bench {

class QuietStdout {
 public:
  QuietStdout();
  ~QuietStdout();
  QuietStdout(const QuietStdout&) = delete;
  QuietStdout& operator=(const QuietStdout&) = delete;

 private:
  int saved_ = -1;
};

}  // namespace ovix::bench
