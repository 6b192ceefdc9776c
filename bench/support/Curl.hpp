#pragma once

#include <cstddef>

namespace ovix::bench {

// A libcurl write callback that reads an answer and keeps nothing of it.
inline std::size_t discardBody(char*, std::size_t size, std::size_t count, void*) {
  return size * count;
}

}  // namespace ovix::bench
