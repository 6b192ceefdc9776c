#include <gtest/gtest.h>

#include "platform/json/Json.hpp"
#include "platform/json/SpareDocument.hpp"

namespace ovix {
namespace {

// Documents are reused between answers, of every size; an answer still held
// must never be overwritten by the next one, nor by a change to the bytes it
// was read from in place.
TEST(JsonDecodeTest, AnswersHeldStayIntactWhileLaterAnswersAreDecoded) {
  { ASSERT_TRUE(json::decode("[0]")); }  // its document is now the spare one
  auto first = json::decode(R"({"a": [1, 2, 3]})");
  auto second = json::decode(R"({"b": "two"})");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(json::describe(second.value()), R"({"b":"two"})");
  second = json::decode("[]");  // the second's document goes back, maybe to the next
  for (std::size_t size : {std::size_t{10}, json::SpareDocument::kMaxSpareCapacity * 2,
                           std::size_t{100}, json::SpareDocument::kMaxSpareCapacity / 2}) {
    const std::string answer = "[\"" + std::string(size, 'x') + "\"]";
    std::string received = answer;
    received.reserve(answer.size() + 64);  // room for the padding: read in place
    const auto decoded = json::decode(received);
    received.assign(answer.size(), ' ');
    ASSERT_TRUE(decoded) << size;
    EXPECT_EQ(json::describe(decoded.value()), answer) << size;
  }
  EXPECT_EQ(json::describe(first.value()), R"({"a":[1,2,3]})");
}

}  // namespace
}  // namespace ovix
