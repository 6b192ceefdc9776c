#include "ovix/platform/HttpResponse.hpp"

#include <strings.h>

#include <utility>

namespace ovix {

HttpResponse::HttpResponse(std::string url, long statusCode, Headers headers)
    : url_(std::move(url)), statusCode_(statusCode), headers_(std::move(headers)) {}

std::string HttpResponse::valueForHeaderField(std::string_view name) const {
  for (const auto& [field, value] : headers_) {
    if (field.size() == name.size() && ::strncasecmp(field.data(), name.data(), name.size()) == 0) {
      return value;
    }
  }
  return "";
}

std::string HttpResponse::description() const {
  std::string text = "<HttpResponse> { URL: " + url_ +
                     " } { Status Code: " + std::to_string(statusCode_) + ", Headers {";
  for (std::size_t i = 0; i < headers_.size(); ++i) {
    text += (i == 0 ? " " : ", ") + headers_[i].first + ": " + headers_[i].second;
  }
  text += headers_.empty() ? "} }" : " } }";
  return text;
}

}  // namespace ovix
