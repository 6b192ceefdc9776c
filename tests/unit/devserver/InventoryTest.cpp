#include "devserver/Inventory.hpp"

#include <gtest/gtest.h>

#include <set>

namespace ovix::devserver {
namespace {

TEST(InventoryTest, KeepsSlotsAndAdsInFileOrderAndNamesAdsWithoutAnId) {
  const auto inventory = Inventory::parse(R"({
    "b": [{"id": "first", "title": "One", "imp_url": ["https://i/1"], "extra": 7},
          {"title": "Two"}],
    "a": []})");
  ASSERT_TRUE(inventory) << inventory.error().message;
  const auto* b = inventory.value().slot("b");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->size(), 2u);
  EXPECT_EQ((*b)[0].id, "first");
  EXPECT_EQ((*b)[0].fields,
            nlohmann::json::parse(R"({"title": "One", "imp_url": ["https://i/1"], "extra": 7})"));
  EXPECT_EQ((*b)[1].id, "b-2");
  EXPECT_TRUE(inventory.value().slot("a")->empty());
  EXPECT_EQ(inventory.value().slot("c"), nullptr);
  EXPECT_EQ(inventory.value().ad("b-2"), &(*b)[1]);
  EXPECT_EQ(inventory.value().ad("b-1"), nullptr);
}

TEST(InventoryTest, RefusesFilesOfAnotherShapeNamingTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {"{", "not valid JSON"},
      {"[]", "must be an object"},
      {R"({"a": {}})", "slot \"a\" must be an array"},
      {R"({"a": [1]})", "ad 1 of slot \"a\" is not an object"},
      {R"({"a": [{}, {"title": 3}]})", "ad 2 of slot \"a\": \"title\" must be a string"},
      {R"({"a": [{"imp_url": "https://i"}]})", "\"imp_url\" must be an array of strings"},
      {R"({"a": [{"view_imp_url": [1]}]})", "\"view_imp_url\" must be an array of strings"},
      {R"({"a": [{"id": "x/y"}]})", "\"id\" must be a string of letters"},
      {R"({"a": [{"id": 5}]})", "\"id\" must be a string of letters"},
      {R"({"a b": [{}]})", "needs an \"id\""},
      {R"({"a": [{"id": "x"}], "b": [{"id": "x"}]})", "\"x\" is used twice"},
      {R"({"a": [{}], "b": [{"id": "a-1"}]})", "\"a-1\" is used twice"},
  };
  for (const auto& [text, message] : cases) {
    const auto inventory = Inventory::parse(text);
    ASSERT_FALSE(inventory) << text;
    EXPECT_NE(inventory.error().message.find(message), std::string::npos)
        << text << " gave: " << inventory.error().message;
  }
  const auto missing = Inventory::load("/nonexistent/ads.json");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().message.find("/nonexistent/ads.json"), std::string::npos);
}

TEST(InventoryTest, SampleAdsFillTwoSlotsAndPointBackAtTheServerInEveryImageFormat) {
  const auto inventory = Inventory::load(OVIX_SAMPLE_ADS);
  ASSERT_TRUE(inventory) << inventory.error().message;
  const std::string base = "https://ad.ovix.example/";
  std::set<std::string> advertisers;
  std::set<std::string> formats;
  for (const char* slot : {"top-feed", "news-feed"}) {
    const auto* ads = inventory.value().slot(slot);
    ASSERT_NE(ads, nullptr) << slot;
    EXPECT_GE(ads->size(), 3u) << slot;
    for (const Ad& ad : *ads) {
      const auto& f = ad.fields;
      for (const char* name : {"title", "description", "displayed_advertiser"}) {
        EXPECT_FALSE(f.value(name, "").empty()) << ad.id << " " << name;
      }
      EXPECT_EQ(f["click_url"], base + "click/" + ad.id);
      EXPECT_EQ(f["imp_url"], nlohmann::json::array({base + "imp/" + ad.id}));
      EXPECT_EQ(f["view_imp_url"], nlohmann::json::array({base + "vimp/" + ad.id}));
      const std::string image = f["image_url"];
      ASSERT_EQ(image.rfind(base + "images/", 0), 0u) << image;
      formats.insert(image.substr(image.rfind('.') + 1));
      advertisers.insert(f["displayed_advertiser"]);
    }
  }
  EXPECT_EQ(formats, (std::set<std::string>{"png", "jpg", "gif", "webp"}));
  EXPECT_GE(advertisers.size(), 4u);
}

}  // namespace
}  // namespace ovix::devserver
