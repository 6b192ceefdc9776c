#pragma once

#include <string>

namespace ovix::identity {

// A new random UUID in upper case, 36 characters. Any thread.
std::string makeUuidString();

}  // namespace ovix::identity
