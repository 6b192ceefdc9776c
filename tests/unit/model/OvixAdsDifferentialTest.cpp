// The inventory against the plain lists it must behave as, over long random
// sequences of calls: every result, every object's identity and every
// snapshot must agree after every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

#include "ovix/model/OvixAds.hpp"
#include "unit/model/LinearAds.hpp"

namespace ovix {
namespace {

using test::LinearAds;
using Record = std::shared_ptr<OvixAdInfo>;
using List = std::vector<Record>;

std::string describe(const OvixAdInfo& record) {
  return "{" + record.infeedId() + " " + record.uuid() + " " + record.title() + "}";
}

// Pairs each record of the reference with the real record that stands for it,
// so that object identity compares across the two: an object handed out
// before must be matched by the same real object, a new one by a real object
// never seen. Holds every record seen, so no address is reused.
class RecordPairs {
 public:
  // A new record for each side with the same values: the reference's set one
  // by one, the real one made whole.
  std::pair<Record, Record> make(const std::string& infeedId, const std::string& uuid) {
    const std::string n = std::to_string(++made_);
    const OvixAdInfo::Fields fields{
        infeedId,
        "https://img.example/" + n + ".jpg",
        "advertiser " + n,
        "title " + n,
        "description " + n,
        {"https://imp.example/" + n + "/a", "https://imp.example/" + n + "/b"},
        {"https://vimp.example/" + n},
        "https://click.example/" + n,
        uuid};
    auto model = std::make_shared<OvixAdInfo>();
    model->setInfeedId(fields.infeedId);
    model->setImageUrl(fields.imageUrl);
    model->setAdvertiser(fields.advertiser);
    model->setTitle(fields.title);
    model->setDescript(fields.descript);
    model->setImpUrl(fields.impUrl);
    model->setViewableImpUrl(fields.viewableImpUrl);
    model->setClickUrl(fields.clickUrl);
    model->setUuid(fields.uuid);
    auto real = std::make_shared<OvixAdInfo>(fields);
    EXPECT_TRUE(match(model, real));
    return {model, real};
  }

  const Record& realOf(const Record& model) const { return realOf_.at(model.get()); }
  const std::vector<Record>& models() const { return models_; }

  // Both null, or equal in every value and paired with each other (paired
  // now when neither was seen).
  ::testing::AssertionResult match(const Record& model, const Record& real) {
    if (!model || !real) {
      if (!model && !real) return ::testing::AssertionSuccess();
      return ::testing::AssertionFailure() << (model ? "real" : "model") << " null";
    }
    const OvixAdInfo& a = *model;
    const OvixAdInfo& b = *real;
    if (a.infeedId() != b.infeedId() || a.imageUrl() != b.imageUrl() ||
        a.advertiser() != b.advertiser() || a.title() != b.title() ||
        a.descript() != b.descript() || a.impUrl() != b.impUrl() ||
        a.viewableImpUrl() != b.viewableImpUrl() || a.clickUrl() != b.clickUrl() ||
        a.uuid() != b.uuid()) {
      return ::testing::AssertionFailure()
             << "values differ: " << describe(a) << " " << describe(b);
    }
    const auto pairedReal = realOf_.find(model.get());
    const bool realSeen = modelOf_.contains(real.get());
    if (pairedReal == realOf_.end() && !realSeen) {
      realOf_.emplace(model.get(), real);
      modelOf_.emplace(real.get(), model);
      models_.push_back(model);
      return ::testing::AssertionSuccess();
    }
    if (pairedReal != realOf_.end() && pairedReal->second == real) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << describe(a)
           << (pairedReal == realOf_.end() ? " is new to the reference only"
                                           : " is another object in the real code");
  }

 private:
  std::unordered_map<const OvixAdInfo*, Record> realOf_;
  std::unordered_map<const OvixAdInfo*, Record> modelOf_;
  std::vector<Record> models_;
  int made_ = 0;
};

constexpr int kSteps = 5000;
// Slots records are loaded into ("" is a slot like any other); kUnknownSlot
// never gets a record.
const std::vector<std::string> kSlots{"s0", "s1", "s2", ""};
const std::string kUnknownSlot = "s9";
// Few uuids, so that different records share them; kUnknownUuid is never
// loaded.
constexpr int kUuids = 24;
const std::string kUnknownUuid = "u-unknown";

class OvixAdsDifferentialTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  std::size_t pick(std::size_t n) { return rng_() % n; }

  std::string loadedUuid() { return std::string("u").append(std::to_string(pick(kUuids))); }

  std::string anyUuid() { return pick(8) == 0 ? kUnknownUuid : loadedUuid(); }

  std::string anySlot() { return pick(6) == 0 ? kUnknownSlot : kSlots[pick(kSlots.size())]; }

  // Both sides get the same batch: absent, empty, or records that are new,
  // null, or any record seen before (the caller's own, stored copies,
  // records handed out), repeats within the batch included.
  void add() {
    const std::size_t kind = pick(12);
    std::optional<List> forModel;
    std::optional<List> forReal;
    if (kind != 0) {
      forModel.emplace();
      forReal.emplace();
    }
    const std::size_t size = kind < 2 ? 0 : kind == 2 ? 20 + pick(40) : 1 + pick(5);
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t what = pick(10);
      if (what == 0) {
        forModel->push_back(nullptr);
        forReal->push_back(nullptr);
      } else if (what <= 3 && !pairs_.models().empty()) {
        const Record& seen = pairs_.models()[pick(pairs_.models().size())];
        forModel->push_back(seen);
        forReal->push_back(pairs_.realOf(seen));
      } else {
        auto [model, real] = pairs_.make(kSlots[pick(kSlots.size())], loadedUuid());
        forModel->push_back(std::move(model));
        forReal->push_back(std::move(real));
      }
    }
    model_.add(forModel);
    real_.add(forReal);
  }

  void step() {
    const std::size_t op = pick(100);
    if (op == 0) {
      model_.clear();
      real_.clear();
    } else if (op < 25) {
      add();
    } else if (op < 70) {
      const std::string slot = anySlot();
      ASSERT_TRUE(pairs_.match(model_.hasNextAd(slot), real_.hasNextAd(slot)))
          << "hasNextAd(\"" << slot << "\")";
    } else if (op < 88) {
      const std::string uuid = anyUuid();
      ASSERT_TRUE(pairs_.match(model_.claimImpression(uuid), real_.claimImpression(uuid)))
          << "claimImpression(\"" << uuid << "\")";
    } else {
      const std::string uuid = anyUuid();
      model_.appendImpressed(uuid);
      real_.appendImpressed(uuid);
    }
  }

  void compare(const std::optional<List>& model, const std::optional<List>& real,
               const char* what) {
    ASSERT_EQ(model.has_value(), real.has_value()) << what;
    if (!model) return;
    ASSERT_EQ(model->size(), real->size()) << what;
    for (std::size_t i = 0; i < model->size(); ++i) {
      ASSERT_TRUE(pairs_.match((*model)[i], (*real)[i])) << what << "[" << i << "]";
    }
  }

  void compareSnapshots() {
    compare(model_.ads(), real_.ads(), "ads()");
    // Now and then: taking the rotation makes the copies a refill defers.
    if (pick(8) == 0) compare(model_.adsMirror(), real_.adsMirror(), "adsMirror()");
    ASSERT_EQ(model_.impressed(), real_.impressed());
  }

  std::mt19937 rng_{GetParam()};
  RecordPairs pairs_;
  LinearAds model_;
  OvixAds real_;
};

TEST_P(OvixAdsDifferentialTest, AgreesWithThePlainListsCallForCallAndObjectForObject) {
  for (int i = 0; i < kSteps; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    step();
    if (HasFatalFailure()) return;
    compareSnapshots();
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OvixAdsDifferentialTest,
                         ::testing::Values(1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u));

// The reference never changes a record; a host may. A first batch is stored as
// copies, and a record counts under the slot and uuid it had when added.
TEST(OvixAdsTest, RecordsChangedAfterTheyAreAddedKeepTheirPlace) {
  RecordPairs records;
  OvixAds ads;
  const auto first = records.make("S", "A").second;
  ads.add(List{first});
  first->setTitle("changed");
  EXPECT_EQ(ads.ads()->front()->title(), "title 1");
  const auto later = records.make("S", "B").second;
  ads.add(List{later});
  later->setUuid("C");
  later->setInfeedId("T");
  later->setTitle(std::string(100, 'x'));  // new values; the old ones are freed
  EXPECT_EQ(ads.claimImpression("B"), later);
  EXPECT_EQ(ads.claimImpression("C"), nullptr);
  EXPECT_EQ(ads.hasNextAd("T"), nullptr);
  EXPECT_EQ(ads.hasNextAd("S")->uuid(), "A");
  EXPECT_EQ(ads.hasNextAd("S"), later);
}

}  // namespace
}  // namespace ovix
