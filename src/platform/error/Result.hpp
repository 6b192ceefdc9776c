#pragma once

#include <utility>
#include <variant>

#include "ovix/platform/Error.hpp"

namespace ovix {

// A value, or the error that prevented it: the SDK's way to return what may
// fail. Operations that give no value return a Status (ovix/platform/Error.hpp).
// `E` lets tools share the shape with errors of their own.
template <class T, class E = Error>
class Result {
 public:
  Result(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) : outcome_(std::in_place_index<1>, std::move(error)) {}

  explicit operator bool() const { return outcome_.index() == 0; }
  T& value() { return std::get<0>(outcome_); }
  const T& value() const { return std::get<0>(outcome_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const E& error() const { return std::get<1>(outcome_); }

 private:
  std::variant<T, E> outcome_;
};

}  // namespace ovix
