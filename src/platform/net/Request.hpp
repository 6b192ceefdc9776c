#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/net/Url.hpp"

namespace ovix::net {

// One HTTP request: method, URL, header fields in order, body. A value: use
// each one from one thread at a time.
struct Request {
  explicit Request(Url url) : url(std::move(url)) {}

  // Replaces every field of that name (compared without case).
  void setValue(std::string_view value, std::string_view field);
  // Appends a field, keeping any of the same name.
  void addValue(std::string_view value, std::string_view field);

  Url url;
  std::string method = "GET";
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

}  // namespace ovix::net
