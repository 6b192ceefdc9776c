#pragma once

#include <memory>
#include <utility>

#include "ovix/platform/Dispatch.hpp"

namespace ovix::dispatch {

// A shared T that is destroyed on the main thread wherever its last owner lets
// go, for values that hold main-thread objects such as views. If the main
// queue never runs again the value is never destroyed.
template <class T, class... Args>
std::shared_ptr<T> makeMainThreadBound(Args&&... args) {
  return std::shared_ptr<T>(new T(std::forward<Args>(args)...), [](T* value) {
    if (isMainThread()) {
      delete value;
    } else {
      mainQueue().async([value] { delete value; });
    }
  });
}

}  // namespace ovix::dispatch
