#pragma once

#include <span>
#include <string_view>

namespace ovix::console {

// Writes each of `lines`, a line feed after each, to standard output as one
// write. Safe from any thread: what one call writes is never torn or
// interleaved with another's, so a log entry of several lines stays whole.
void writeLines(std::span<const std::string_view> lines);
inline void writeLine(std::string_view line) {
  writeLines({&line, 1});
}

}  // namespace ovix::console
