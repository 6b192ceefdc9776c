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

TEST(OvixAdInfoTest, ChangesToEitherSideOfACopyStayOnThatSide) {
  OvixAdInfo::Fields fields;
  fields.infeedId = "slot";
  fields.title = "Title";
  fields.impUrl = {"https://i/1"};
  fields.uuid = "U";
  const auto source = std::make_shared<OvixAdInfo>(std::move(fields));
  const auto first = source->copy();
  const auto second = first->copy();

  source->setTitle("Source");
  source->setImpUrl({});
  EXPECT_EQ(first->title(), "Title");
  EXPECT_EQ(second->title(), "Title");
  EXPECT_EQ(first->impUrl(), std::vector<std::string>{"https://i/1"});

  first->setUuid("V");
  EXPECT_EQ(second->uuid(), "U");
  EXPECT_EQ(source->uuid(), "U");
  EXPECT_EQ(first->uuid(), "V");
  EXPECT_EQ(first->infeedId(), "slot") << "the other values stay";
  EXPECT_EQ(first->title(), "Title");

  const auto later = source->copy();
  EXPECT_EQ(later->title(), "Source");
  EXPECT_TRUE(later->impUrl().empty());
}

TEST(OvixAdInfoTest, NewRecordsStartEmptyAndApartFromEachOther) {
  OvixAdInfo a;
  OvixAdInfo b;
  a.setTitle("A");
  EXPECT_EQ(a.title(), "A");
  EXPECT_EQ(b.title(), "");
  EXPECT_EQ(b.uuid(), "");
  EXPECT_TRUE(b.impUrl().empty());
  EXPECT_EQ(OvixAdInfo().title(), "");
}

}  // namespace
}  // namespace ovix
