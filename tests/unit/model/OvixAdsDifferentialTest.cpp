// The inventory against the plain lists it must behave as, over long random
// sequences of calls: every result, every object's identity and every
// snapshot must agree after every call.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "unit/model/LinearAds.hpp"
#include "ovix/model/OvixAds.hpp"
#include "unit/model/RecordPairs.hpp"

namespace ovix {
namespace {

using test::LinearAds;
using test::RecordPairs;
using Record = std::shared_ptr<OvixAdInfo>;
using List = std::vector<Record>;

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
    if (kind == 0) {
      model_.add(std::nullopt);
      real_.add(std::nullopt);
      return;
    }
    if (kind == 1) {
      model_.add(List{});
      real_.add(List{});
      return;
    }
    const std::size_t size = kind == 2 ? 20 + pick(40) : 1 + pick(5);
    List forModel;
    List forReal;
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t what = pick(10);
      if (what == 0) {
        forModel.push_back(nullptr);
        forReal.push_back(nullptr);
      } else if (what <= 3 && !pairs_.models().empty()) {
        const Record& seen = pairs_.models()[pick(pairs_.models().size())];
        forModel.push_back(seen);
        forReal.push_back(pairs_.realOf(seen));
      } else {
        auto [model, real] = pairs_.make(kSlots[pick(kSlots.size())], loadedUuid());
        forModel.push_back(std::move(model));
        forReal.push_back(std::move(real));
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

  static void compare(RecordPairs& pairs, const std::optional<List>& model,
                      const std::optional<List>& real, const char* what) {
    ASSERT_EQ(model.has_value(), real.has_value()) << what;
    if (!model) return;
    ASSERT_EQ(model->size(), real->size()) << what;
    for (std::size_t i = 0; i < model->size(); ++i) {
      ASSERT_TRUE(pairs.match((*model)[i], (*real)[i])) << what << "[" << i << "]";
    }
  }

  void compareSnapshots() {
    compare(pairs_, model_.ads(), real_.ads(), "ads()");
    // Now and then: taking the rotation makes the copies a refill defers.
    if (pick(8) == 0) compare(pairs_, model_.adsMirror(), real_.adsMirror(), "adsMirror()");
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

}  // namespace
}  // namespace ovix
