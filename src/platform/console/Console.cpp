#include "platform/console/Console.hpp"

#include <cstdio>
#include <string>

namespace ovix::console {

void writeLines(std::span<const std::string_view> lines) {
  std::string buffer;
  std::size_t size = 0;
  for (const auto line : lines) size += line.size() + 1;
  buffer.reserve(size);
  for (const auto line : lines) {
    buffer.append(line);
    buffer.push_back('\n');
  }
  // One locked write and flush keeps the block whole and in order with the
  // host's own stdio output.
  ::flockfile(stdout);
  std::fwrite(buffer.data(), 1, buffer.size(), stdout);
  std::fflush(stdout);
  ::funlockfile(stdout);
}

}  // namespace ovix::console
