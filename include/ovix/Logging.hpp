#pragma once

#include <atomic>

#include "ovix/Export.hpp"

namespace ovix {

// The log switch: while true the SDK writes what it does to standard output.
// False when the library loads. Set it from any thread, directly or through
// OvixManager::log; each log call reads it once.
OVIX_EXPORT extern std::atomic<bool> logging;

}  // namespace ovix
