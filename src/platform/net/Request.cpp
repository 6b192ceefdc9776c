#include "platform/net/Request.hpp"

#include <strings.h>

#include <algorithm>

namespace ovix::net {
namespace {

bool sameField(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

void Request::setValue(std::string_view value, std::string_view field) {
  auto first = std::find_if(headers.begin(), headers.end(),
                            [&](const auto& header) { return sameField(header.first, field); });
  if (first == headers.end()) {
    addValue(value, field);
    return;
  }
  // The field keeps the place of its first occurrence.
  first->first = field;
  first->second = value;
  headers.erase(std::remove_if(std::next(first), headers.end(),
                               [&](const auto& header) { return sameField(header.first, field); }),
                headers.end());
}

void Request::addValue(std::string_view value, std::string_view field) {
  headers.emplace_back(field, value);
}

}  // namespace ovix::net
