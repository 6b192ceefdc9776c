#include "ovix/platform/Error.hpp"

#include <utility>

namespace ovix {

Error::Error(std::string domain, std::int64_t code, std::string description)
    : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}

std::string Error::description() const {
  return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + description_ + "\"";
}

}  // namespace ovix
