#pragma once

#include <optional>
#include <utility>

#include "ovix/platform/Error.hpp"

namespace ovix {

// A value or the error that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Error error) : error_(std::move(error)) {}

  explicit operator bool() const { return value_.has_value(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  const Error& error() const { return *error_; }

 private:
  std::optional<T> value_;
  std::optional<Error> error_;
};

}  // namespace ovix
