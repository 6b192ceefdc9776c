#include "platform/json/Json.hpp"

#include "platform/json/SpareDocument.hpp"

namespace ovix::json {
namespace {

constexpr std::int64_t kReadCorrupt = 3840;

Error decodingError(std::string_view reason) {
  return Error(
      Error::kJSONDomain, kReadCorrupt,
      "The data couldn't be read because it isn't in the correct format: " + std::string(reason));
}

}  // namespace

std::string describe(const Value& value) {
  return simdjson::to_string(value.element());
}

Result<Value> decode(std::string_view bytes) {
  // One parser per thread is reused for its buffers, the padded copy of the
  // bytes among them; each answer gets a document of its own, which outlives
  // the parser's next use.
  thread_local simdjson::dom::parser parser;
  auto document = SpareDocument::take();
  simdjson::dom::element root;
  const auto error =
      parser.parse_into_document(*document, bytes.data(), bytes.size(), true).get(root);
  if (error) return decodingError(simdjson::error_message(error));
  if (!root.is_object() && !root.is_array()) {
    return decodingError("the top level is neither an object nor an array");
  }
  return Value(std::move(document), root);
}

}  // namespace ovix::json
