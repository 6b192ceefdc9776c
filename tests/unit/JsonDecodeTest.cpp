#include <gtest/gtest.h>

#include <thread>

#include "platform/json/Json.hpp"
#include "platform/json/SpareDocument.hpp"

namespace ovix {
namespace {

std::string text(const json::Value& value) {
  return json::describe(value);
}

// Documents are reused between answers; an answer still held must never be
// overwritten by the next one.
TEST(JsonDecodeTest, AnswersHeldStayIntactWhileLaterAnswersAreDecoded) {
  { ASSERT_TRUE(json::decode("[0]")); }  // its document is now the spare one
  auto first = json::decode(R"({"a": [1, 2, 3]})");
  auto second = json::decode(R"({"b": "two"})");
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_EQ(text(first.value()), R"({"a":[1,2,3]})");
  EXPECT_EQ(text(second.value()), R"({"b":"two"})");
  second = json::decode("[]");  // the second's document goes back, maybe to the third
  auto third = json::decode(R"({"c": {"d": null}})");
  ASSERT_TRUE(third);
  EXPECT_EQ(text(first.value()), R"({"a":[1,2,3]})");
  EXPECT_EQ(text(third.value()), R"({"c":{"d":null}})");
}

TEST(JsonDecodeTest, AnswersOfEverySizeDecodeOneAfterAnother) {
  for (std::size_t size :
       {std::size_t{10}, json::SpareDocument::kMaxSpareCapacity * 2, std::size_t{100},
        json::SpareDocument::kMaxSpareCapacity / 2, std::size_t{3}}) {
    const std::string answer = "[\"" + std::string(size, 'x') + "\"]";
    const auto decoded = json::decode(answer);
    ASSERT_TRUE(decoded) << size;
    EXPECT_EQ(text(decoded.value()), answer) << size;
  }
}

// Answers decoded on one thread are read and released on others.
TEST(JsonDecodeTest, AnswersReleasedOnOtherThreadsLeaveLaterAnswersWhole) {
  for (int round = 0; round < 50; ++round) {
    const std::string expected = "{\"round\":" + std::to_string(round) + "}";
    auto decoded = json::decode(expected);
    ASSERT_TRUE(decoded);
    std::string seen;
    std::thread reader([value = std::move(decoded.value()), &seen] { seen = text(value); });
    reader.join();
    EXPECT_EQ(seen, expected);
  }
}

}  // namespace
}  // namespace ovix
