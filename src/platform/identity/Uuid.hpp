#pragma once

#include <cstddef>
#include <string>

namespace ovix::identity {

inline constexpr std::size_t kUuidLength = 36;

// A new random (version 4) UUID in upper case, kUuidLength characters, from a
// generator per thread seeded from the kernel's random source. Distinct in a
// parent and its forked child. Any thread.
std::string makeUuidString();
// The same, written to out[0, kUuidLength).
void writeUuid(char* out);

}  // namespace ovix::identity
