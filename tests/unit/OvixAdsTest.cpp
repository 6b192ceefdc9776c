#include "ovix/model/OvixAds.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace ovix {
namespace {

std::shared_ptr<OvixAdInfo> ad(const std::string& slot, const std::string& uuid) {
  auto record = std::make_shared<OvixAdInfo>();
  record->setInfeedId(slot);
  record->setUuid(uuid);
  record->setTitle("title " + uuid);
  return record;
}

std::vector<std::string> take(OvixAds& ads, const std::string& slot, int count) {
  std::vector<std::string> uuids;
  for (int i = 0; i < count; ++i) {
    auto next = ads.hasNextAd(slot);
    uuids.push_back(next ? next->uuid() : "none");
  }
  return uuids;
}

TEST(OvixAdsTest, EmptyInventoryHandsOutNothingAndIgnoresEmptyBatches) {
  OvixAds ads;
  EXPECT_EQ(ads.hasNextAd("s"), nullptr);
  ads.add(std::nullopt);
  ads.add(OvixAds::List{});
  ads.add(OvixAds::List{nullptr});
  EXPECT_FALSE(ads.ads());
  EXPECT_FALSE(ads.adsMirror());
  EXPECT_EQ(ads.hasNextAd("s"), nullptr);
}

TEST(OvixAdsTest, RotatesEachSlotInServerOrderWithoutRunningDry) {
  OvixAds ads;
  ads.add(OvixAds::List{ad("S", "A"), ad("S", "B"), ad("T", "C")});
  EXPECT_EQ(take(ads, "S", 3), (std::vector<std::string>{"A", "B", "A"}));
  EXPECT_EQ(take(ads, "T", 2), (std::vector<std::string>{"C", "C"}));
  EXPECT_EQ(take(ads, "U", 1), (std::vector<std::string>{"none"}));
  EXPECT_EQ(ads.ads()->size(), 3u);
}

TEST(OvixAdsTest, FirstBatchIsCopiedTwiceAndEveryHandOutIsANewObject) {
  OvixAds ads;
  auto original = ad("S", "A");
  ads.add(OvixAds::List{original});
  const auto stored = ads.ads()->front();
  const auto queued = ads.adsMirror()->front();
  EXPECT_NE(stored, original);
  EXPECT_NE(queued, stored);
  EXPECT_EQ(queued->uuid(), "A");
  EXPECT_EQ(queued->title(), "title A");

  std::set<OvixAdInfo*> seen{original.get(), stored.get()};
  for (int i = 0; i < 3; ++i) {
    const auto expected = ads.adsMirror()->front();
    auto next = ads.hasNextAd("S");
    EXPECT_EQ(next, expected) << "hands out the queue's own object";
    EXPECT_EQ(next->uuid(), "A");
    EXPECT_TRUE(seen.insert(next.get()).second) << "handed out an object twice";
    EXPECT_EQ(ads.adsMirror()->size(), 1u);
  }
}

TEST(OvixAdsTest, LaterBatchJoinsTheCurrentCycleAsTheCallersOwnObjects) {
  OvixAds ads;
  ads.add(OvixAds::List{ad("S", "A"), ad("S", "B")});
  EXPECT_EQ(ads.hasNextAd("S")->uuid(), "A");
  auto d = ad("S", "D");
  ads.add(OvixAds::List{d});
  EXPECT_EQ(ads.ads()->back(), d);
  EXPECT_EQ(ads.adsMirror()->back(), d);

  EXPECT_EQ(ads.hasNextAd("S")->uuid(), "B");
  EXPECT_EQ(ads.hasNextAd("S"), d) << "the later batch's record itself";
  EXPECT_EQ(take(ads, "S", 6), (std::vector<std::string>{"A", "B", "D", "A", "B", "D"}));
  auto again = ads.hasNextAd("S");
  EXPECT_NE(again, d) << "refills hand out copies";
}

TEST(OvixAdsTest, RepeatedBatchesAreNeitherMergedNorDeduplicated) {
  OvixAds ads;
  const OvixAds::List batch{ad("S", "A"), ad("S", "B")};
  ads.add(batch);
  ads.add(batch);
  EXPECT_EQ(ads.ads()->size(), 4u);
  EXPECT_EQ(take(ads, "S", 8), (std::vector<std::string>{"A", "B", "A", "B", "A", "B", "A", "B"}));
}

TEST(OvixAdsTest, ClearForgetsEverythingAndTheNextBatchIsAFirstBatchAgain) {
  OvixAds ads;
  ads.add(OvixAds::List{ad("S", "A")});
  ads.appendImpressed("A");
  ads.clear();
  EXPECT_FALSE(ads.ads());
  EXPECT_TRUE(ads.impressed().empty());
  EXPECT_EQ(ads.hasNextAd("S"), nullptr);

  auto b = ad("S", "B");
  ads.add(OvixAds::List{b});
  EXPECT_NE(ads.ads()->front(), b) << "a first batch is stored as copies";
  EXPECT_NE(ads.hasNextAd("S"), b);
}

TEST(OvixAdsTest, ClaimImpressionSucceedsOncePerUuidAndLooksInTheMasterList) {
  OvixAds ads;
  EXPECT_EQ(ads.claimImpression("A"), nullptr) << "nothing loaded";
  ads.add(OvixAds::List{ad("S", "A")});
  ads.hasNextAd("S");  // the master list still has it
  auto claimed = ads.claimImpression("A");
  ASSERT_NE(claimed, nullptr);
  EXPECT_EQ(claimed, ads.ads()->front());
  EXPECT_EQ(ads.claimImpression("A"), nullptr);
  EXPECT_EQ(ads.claimImpression("unknown"), nullptr);
  EXPECT_EQ(ads.impressed(), (std::vector<std::string>{"A"}));
}

// A record's slot and uuid count as they were when it was added; changing a
// stored record later neither moves it nor loses it.
TEST(OvixAdsTest, SlotAndUuidAreReadWhenARecordIsAdded) {
  OvixAds ads;
  ads.add(OvixAds::List{ad("S", "A")});
  auto later = ad("S", "B");
  ads.add(OvixAds::List{later});
  later->setUuid("C");
  later->setInfeedId("T");
  later->setTitle(std::string(100, 'x'));  // new values; the old ones are gone
  EXPECT_EQ(ads.claimImpression("B"), later);
  EXPECT_EQ(ads.claimImpression("C"), nullptr);
  EXPECT_EQ(ads.hasNextAd("T"), nullptr);
  EXPECT_EQ(take(ads, "S", 2), (std::vector<std::string>{"A", "C"}));
}

// Loads add from workers while the main thread takes ads: no record is lost or
// handed out twice within a cycle, and the lists stay whole.
TEST(OvixAdsTest, ConcurrentAddsAndHandOutsKeepEveryRecord) {
  OvixAds ads;
  ads.add(OvixAds::List{ad("S", "seed")});
  constexpr int kWriters = 4;
  constexpr int kPerWriter = 200;
  std::atomic<int> writersLeft{kWriters};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) {
        ads.add(OvixAds::List{ad("S", std::to_string(w) + "-" + std::to_string(i))});
      }
      writersLeft.fetch_sub(1);
    });
  }
  std::size_t taken = 0;
  do {
    if (ads.hasNextAd("S")) ++taken;
    ads.claimImpression("seed");
  } while (writersLeft.load() > 0);
  for (auto& writer : writers) writer.join();
  EXPECT_GT(taken, 0u);

  const auto all = ads.ads();
  ASSERT_EQ(all->size(), 1u + kWriters * kPerWriter);
  std::set<std::string> uuids;
  for (const auto& record : *all) uuids.insert(record->uuid());
  EXPECT_EQ(uuids.size(), all->size());
  EXPECT_EQ(ads.impressed().size(), 1u);
}

}  // namespace
}  // namespace ovix
