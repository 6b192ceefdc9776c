#pragma once

#include <optional>
#include <string>
#include <utility>

namespace ovix::devserver {

// Why something could not be done, in a sentence for the developer.
struct Failure {
  std::string message;
};

// A value or the failure that prevented it.
template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Failure failure) : failure_(std::move(failure)) {}

  explicit operator bool() const { return value_.has_value(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  const std::string& error() const { return failure_->message; }

 private:
  std::optional<T> value_;
  std::optional<Failure> failure_;
};

}  // namespace ovix::devserver
