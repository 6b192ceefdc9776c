#pragma once

#include <string_view>

namespace ovix::console {

// Writes `line` and a line feed to standard output as one write.
// Safe from any thread; lines of different threads do not tear.
void writeLine(std::string_view line);

}  // namespace ovix::console
