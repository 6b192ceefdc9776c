#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ovix/Export.hpp"

namespace ovix {

// The head of an HTTP answer: where it came from, its status and its header fields.
class OVIX_EXPORT HttpResponse {
 public:
  using Headers = std::vector<std::pair<std::string, std::string>>;

  HttpResponse(std::string url, long statusCode, Headers headers);

  const std::string& url() const { return url_; }
  long statusCode() const { return statusCode_; }
  const Headers& headerFields() const { return headers_; }
  // The first value of a header field, compared without case; "" when absent.
  std::string valueForHeaderField(std::string_view name) const;

  // One line for the log: "<HttpResponse> { URL: u } { Status Code: c, Headers {...} }".
  std::string description() const;

 private:
  std::string url_;
  long statusCode_;
  Headers headers_;
};

}  // namespace ovix
