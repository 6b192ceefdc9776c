#pragma once

#include <simdjson.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/error/Result.hpp"

// Decoding of server answers.
namespace ovix::json {

// A decoded JSON value. It keeps its document alive, so it may be handed to
// another thread and read there; reading is safe from several threads.
class Value {
 public:
  Value(std::shared_ptr<const simdjson::dom::document> document, simdjson::dom::element element)
      : document_(std::move(document)), element_(element) {}

  const simdjson::dom::element& element() const { return element_; }
  // The same document, another element of it.
  Value at(simdjson::dom::element element) const { return Value(document_, element); }

 private:
  std::shared_ptr<const simdjson::dom::document> document_;
  simdjson::dom::element element_;
};

// Minified JSON text, as the log shows a value.
std::string describe(const Value& value);

// Decodes `bytes` strictly (valid UTF-8, bounded nesting). The top level must
// be an object or an array; anything else is an error of Error::kJSONDomain
// with code 3840. Any thread.
Result<Value> decode(std::string_view bytes);
// The same, reading the string where it is, not a copy, when its spare
// capacity holds the padding the parser reads past the end.
Result<Value> decode(const std::string& bytes);
inline Result<Value> decode(const char* text) {
  return decode(std::string_view(text));
}

}  // namespace ovix::json
