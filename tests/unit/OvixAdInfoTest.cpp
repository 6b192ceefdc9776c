#include "ovix/OvixAdInfo.hpp"

#include <gtest/gtest.h>

namespace ovix {
namespace {

TEST(OvixAdInfoTest, CopyKeepsEveryValueAndTheUuidButIsAnotherIndependentObject) {
  OvixAdInfo source;
  source.setInfeedId("slot");
  source.setImageUrl("https://img");
  source.setAdvertiser("Acme");
  source.setTitle("Title");
  source.setDescript("Text");
  source.setImpUrl({"https://i/1", "https://i/2"});
  source.setViewableImpUrl({"https://v/1"});
  source.setClickUrl("https://click");
  source.setUuid("0D1B0C2E-0000-4000-8000-000000000001");

  auto copy = source.copy();
  ASSERT_NE(copy.get(), &source);
  EXPECT_EQ(copy->infeedId(), "slot");
  EXPECT_EQ(copy->imageUrl(), "https://img");
  EXPECT_EQ(copy->advertiser(), "Acme");
  EXPECT_EQ(copy->title(), "Title");
  EXPECT_EQ(copy->descript(), "Text");
  EXPECT_EQ(copy->impUrl(), (std::vector<std::string>{"https://i/1", "https://i/2"}));
  EXPECT_EQ(copy->viewableImpUrl(), (std::vector<std::string>{"https://v/1"}));
  EXPECT_EQ(copy->clickUrl(), "https://click");
  EXPECT_EQ(copy->uuid(), source.uuid());

  auto urls = copy->impUrl();
  urls.push_back("https://i/3");
  copy->setImpUrl(urls);
  copy->setTitle("Changed");
  EXPECT_EQ(source.impUrl().size(), 2u);
  EXPECT_EQ(source.title(), "Title");
}

}  // namespace
}  // namespace ovix
