#include "platform/console/Console.hpp"

#include <cstdio>
#include <string>

namespace ovix::console {

void writeLine(std::string_view line) {
  std::string buffer;
  buffer.reserve(line.size() + 1);
  buffer.append(line);
  buffer.push_back('\n');
  // One locked write and flush keeps the line whole and in order with the
  // host's own stdio output.
  ::flockfile(stdout);
  std::fwrite(buffer.data(), 1, buffer.size(), stdout);
  std::fflush(stdout);
  ::funlockfile(stdout);
}

}  // namespace ovix::console
