#include "platform/json/Json.hpp"

#include <mutex>

#include "platform/json/SpareDocument.hpp"

namespace ovix::json {
namespace {

constexpr std::int64_t kReadCorrupt = 3840;

// A parser keeps its buffers, the padded copy of the bytes among them, for
// the next answer, on whichever worker that is decoded: one is kept, and a
// decode that finds it taken makes its own.
struct SpareParser {
  std::mutex mutex;
  std::unique_ptr<simdjson::dom::parser> parser;  // guarded by mutex
};

SpareParser& spareParser() {
  static SpareParser* const instance = new SpareParser;  // decodes may run at exit
  return *instance;
}

std::unique_ptr<simdjson::dom::parser> takeParser() {
  {
    std::lock_guard lock(spareParser().mutex);
    if (auto parser = std::move(spareParser().parser)) return parser;
  }
  return std::make_unique<simdjson::dom::parser>();
}

void keepParser(std::unique_ptr<simdjson::dom::parser> parser) {
  std::lock_guard lock(spareParser().mutex);
  if (!spareParser().parser) spareParser().parser = std::move(parser);
}

Error decodingError(std::string_view reason) {
  return Error(
      Error::kJSONDomain, kReadCorrupt,
      "The data couldn't be read because it isn't in the correct format: " + std::string(reason));
}

// Decodes `bytes`, copied first unless the bytes after them may be read.
Result<Value> decodeBytes(std::string_view bytes, bool padded) {
  // Each answer gets a document of its own, which outlives the parser's next
  // use.
  auto parser = takeParser();
  auto document = SpareDocument::take();
  simdjson::dom::element root;
  const auto error =
      parser->parse_into_document(*document, bytes.data(), bytes.size(), !padded).get(root);
  keepParser(std::move(parser));
  if (error) return decodingError(simdjson::error_message(error));
  if (!root.is_object() && !root.is_array()) {
    return decodingError("the top level is neither an object nor an array");
  }
  return Value(std::move(document), root);
}

}  // namespace

std::string describe(const Value& value) {
  return simdjson::to_string(value.element());
}

Result<Value> decode(std::string_view bytes) {
  return decodeBytes(bytes, false);
}

Result<Value> decode(const std::string& bytes) {
  return decodeBytes(bytes, bytes.capacity() - bytes.size() >= simdjson::SIMDJSON_PADDING);
}

}  // namespace ovix::json
