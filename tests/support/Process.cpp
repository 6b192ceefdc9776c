#include "support/Process.hpp"

#include "support/BackgroundProcess.hpp"

namespace ovix::test {

ProcessResult runProcess(const std::vector<std::string>& argv) {
  BackgroundProcess process(argv);
  ProcessResult result;
  if (!process.running()) return result;
  result.status = process.wait();
  result.out = process.remainingOutput();
  result.err = process.errors();
  return result;
}

}  // namespace ovix::test
