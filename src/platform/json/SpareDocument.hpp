#pragma once

#include <simdjson.h>

#include <memory>

namespace ovix::json {

// Decoded answers each need a document of their own, sized for the worst case
// (about ten bytes per byte of JSON), and each lives until a worker has read
// it. Allocating one per answer is a large part of decoding, so the last
// document released is kept for the next answer: one at most, and none for
// answers over kMaxSpareCapacity bytes. Any thread.
class SpareDocument {
 public:
  static constexpr std::size_t kMaxSpareCapacity = 256 * 1024;

  // A document for an answer: the spare one if there is one, else a new one.
  // It returns to the spare slot when released.
  static std::shared_ptr<simdjson::dom::document> take();
};

}  // namespace ovix::json
