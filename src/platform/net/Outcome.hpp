#pragma once

#include <optional>
#include <string>
#include <utility>

#include "ovix/platform/Error.hpp"
#include "ovix/platform/HttpResponse.hpp"

namespace ovix::net {

// What a completion handler receives: data on success, the response when its
// head arrived, the error on failure.
struct Outcome {
  static Outcome failure(Error error, std::optional<HttpResponse> response = std::nullopt) {
    return Outcome{std::nullopt, std::move(response), std::move(error)};
  }

  std::optional<std::string> data;
  std::optional<HttpResponse> response;
  std::optional<Error> error;
};

}  // namespace ovix::net
