#include "devserver/AdSelection.hpp"

#include <gtest/gtest.h>

namespace ovix::devserver {
namespace {

using nlohmann::json;

Inventory inventory() {
  return Inventory::parse(R"({"a": [{"title": "A1"}, {"title": "A2"}, {"title": "A3"}],
                              "b": [{"id": "b-only", "title": "B1"}]})")
      .value();
}

std::string body(const json& infeeds) {
  return json{{"infeeds", infeeds}, {"advertising_id", ""}, {"app", "io.example.app"},
              {"version", "0.1.0"}, {"lat", 35.6},          {"lon", 139.7},
              {"altitude", -3}}
      .dump();
}

TEST(AdSelectionTest, AnswersUpToCountAdsPerSlotInInventoryOrder) {
  const auto selection = selectAds(
      inventory(), body({{"a", {{"count", 2}}}, {"b", {{"count", 5}}}, {"c", {{"count", 1.0}}}}));
  ASSERT_TRUE(selection) << selection.error().message;
  EXPECT_EQ(selection.value().answer, json::parse(R"({
      "ads": {"a": [{"title": "A1"}, {"title": "A2"}], "b": [{"title": "B1"}]},
      "errors": {"c": "unknown infeed id"}})"));
  EXPECT_EQ(selection.value().served, (std::vector<std::string>{"a-1", "a-2", "b-only"}));

  const auto none = selectAds(inventory(), R"({"infeeds": {"a": {"count": 0}}})");
  ASSERT_TRUE(none) << none.error().message;
  EXPECT_EQ(none.value().answer["ads"]["a"], json::array());
  EXPECT_TRUE(none.value().served.empty());
}

TEST(AdSelectionTest, NamesUnknownSlotsInErrors) {
  const auto selection =
      selectAds(inventory(), body({{"a", {{"count", 1}}}, {"nowhere", {{"count", 3}}}}));
  ASSERT_TRUE(selection) << selection.error().message;
  EXPECT_EQ(selection.value().answer["errors"], (json{{"nowhere", "unknown infeed id"}}));
  EXPECT_FALSE(selection.value().answer["ads"].contains("nowhere"));
  EXPECT_EQ(selection.value().answer["ads"]["a"].size(), 1u);
}

TEST(AdSelectionTest, RefusesBodiesOfAnotherShapeSayingWhy) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "not valid JSON"},
      {"{\"infeeds\": ", "not valid JSON"},
      {"[]", "must be a JSON object"},
      {"{}", "no \"infeeds\""},
      {R"({"infeeds": []})", "\"infeeds\" must be an object"},
      {R"({"infeeds": {"a": 2}})", "\"infeeds\".\"a\" must be an object"},
      {R"({"infeeds": {"a": {}}})", "\"infeeds\".\"a\" has no \"count\""},
      {R"({"infeeds": {"a": {"count": -1}}})", "whole number, 0 or more"},
      {R"({"infeeds": {"a": {"count": 1.5}}})", "whole number, 0 or more"},
      {R"({"infeeds": {"a": {"count": "2"}}})", "whole number, 0 or more"},
      {R"({"infeeds": {}, "app": 3})", "\"app\" must be a string"},
      {R"({"infeeds": {}, "lat": "35"})", "\"lat\" must be a number"},
  };
  for (const auto& [text, message] : cases) {
    const auto selection = selectAds(inventory(), text);
    ASSERT_FALSE(selection) << text;
    EXPECT_NE(selection.error().message.find(message), std::string::npos)
        << text << " gave: " << selection.error().message;
  }
}

}  // namespace
}  // namespace ovix::devserver
