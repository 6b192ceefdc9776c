#pragma once

#include <string>

namespace ovix::identity {

// A new random (version 4) UUID in upper case, 36 characters, from the
// kernel's random source. Distinct in a parent and its forked child. Any
// thread.
std::string makeUuidString();

}  // namespace ovix::identity
