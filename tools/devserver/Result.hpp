#pragma once

#include <optional>
#include <string>

#include "platform/error/Result.hpp"

namespace ovix::devserver {

// Why something could not be done, in a sentence for the developer.
struct Failure {
  std::string message;
};

// A value or the failure that prevented it, in the SDK's shape.
template <class T>
using Result = ovix::Result<T, Failure>;

}  // namespace ovix::devserver
