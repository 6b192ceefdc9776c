#include "platform/json/SpareDocument.hpp"

#include <mutex>

namespace ovix::json {
namespace {

struct Spare {
  std::mutex mutex;
  std::unique_ptr<simdjson::dom::document> document;  // guarded by mutex
};

Spare& spare() {
  static Spare* const instance = new Spare;  // documents may be released at exit
  return *instance;
}

void giveBack(simdjson::dom::document* released) {
  std::unique_ptr<simdjson::dom::document> document(released);
  if (document->capacity() > SpareDocument::kMaxSpareCapacity) return;
  Spare& slot = spare();
  std::lock_guard lock(slot.mutex);
  if (!slot.document) slot.document = std::move(document);
  // Otherwise freed on return, outside the lock.
}

}  // namespace

std::shared_ptr<simdjson::dom::document> SpareDocument::take() {
  std::unique_ptr<simdjson::dom::document> document;
  {
    Spare& slot = spare();
    std::lock_guard lock(slot.mutex);
    document = std::move(slot.document);
  }
  if (!document) document = std::make_unique<simdjson::dom::document>();
  return std::shared_ptr<simdjson::dom::document>(document.release(), &giveBack);
}

}  // namespace ovix::json
