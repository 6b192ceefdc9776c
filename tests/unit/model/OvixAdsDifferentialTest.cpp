// The inventory against the plain lists it must behave as, over long random
// sequences of calls: every result, every object's identity and every
// snapshot must agree after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

#include "ovix/model/OvixAds.hpp"

namespace ovix {
namespace {

using Record = std::shared_ptr<OvixAdInfo>;
using List = std::vector<Record>;

// The inventory as three plain lists scanned from the front: the reference
// the indexed OvixAds must agree with, call for call and object for object.
// Copies records through their values, not copy(), so that a broken copy()
// shows. One thread only.
struct LinearAds {
  static Record copy(const Record& record) {
    return std::make_shared<OvixAdInfo>(OvixAdInfo::Fields(*record->fields()));
  }

  void add(const std::optional<List>& list) {
    if (!list) return;
    const bool first = !ads;
    for (const Record& record : *list) {
      if (!record) continue;
      if (!ads) ads.emplace();
      if (!adsMirror) adsMirror.emplace();
      ads->push_back(first ? copy(record) : record);
      adsMirror->push_back(first ? copy(ads->back()) : record);
    }
  }

  Record hasNextAd(const std::string& infeedId) {
    if (!adsMirror) return nullptr;
    auto ofSlot = [&](const Record& record) { return record->infeedId() == infeedId; };
    const auto found = std::find_if(adsMirror->begin(), adsMirror->end(), ofSlot);
    if (found == adsMirror->end()) return nullptr;
    Record next = *found;
    adsMirror->erase(found);
    if (std::none_of(adsMirror->begin(), adsMirror->end(), ofSlot)) {
      for (const Record& record : *ads) {
        if (ofSlot(record)) adsMirror->push_back(copy(record));
      }
    }
    return next;
  }

  void clear() { *this = LinearAds(); }

  Record claimImpression(const std::string& uuid) {
    if (!ads || std::find(impressed.begin(), impressed.end(), uuid) != impressed.end()) {
      return nullptr;
    }
    const auto found = std::find_if(ads->begin(), ads->end(),
                                    [&](const Record& record) { return record->uuid() == uuid; });
    if (found == ads->end()) return nullptr;
    impressed.push_back(uuid);
    return *found;
  }

  void appendImpressed(std::string uuid) { impressed.push_back(std::move(uuid)); }

  std::optional<List> ads;             // every record, all slots, load order
  std::optional<List> adsMirror;       // the rotation, all slots mixed
  std::vector<std::string> impressed;  // uuids, in the order recorded
};

// A record whose values all derive from `n`.
Record makeRecord(int n, const std::string& infeedId, const std::string& uuid) {
  const std::string s = std::to_string(n);
  const OvixAdInfo::Fields fields{infeedId,     "image" + s,    "advertiser" + s,
                                  "title " + s, "descript" + s, {"imp" + s, "imp'" + s},
                                  {"view" + s}, "click" + s,    uuid};
  return std::make_shared<OvixAdInfo>(fields);
}

// Every value of a record, and its name.
std::string describe(const OvixAdInfo& r, std::size_t name) {
  // Appended, not prefixed: GCC 12 at -O3 misreads a literal + string as an
  // overlapping copy (-Wrestrict).
  std::string text = "#";
  text += std::to_string(name) + " {" + r.infeedId() + " " + r.uuid() + " " + r.title() + " " +
          r.imageUrl() + " " + r.advertiser() + " " + r.descript() + " " + r.clickUrl();
  for (const auto& url : r.impUrl()) text += " imp " + url;
  for (const auto& url : r.viewableImpUrl()) text += " view " + url;
  return text + "}";
}

// Names each record of one side by the order that side first saw it, so that
// object identity compares across the sides: while they agree, an object
// handed out before comes back under its old name on both, a new one under a
// new name. Holds every record seen, so no address is reused.
struct Names {
  std::size_t operator()(const Record& record) {
    const auto [at, added] = of.try_emplace(record, byName.size());
    if (added) byName.push_back(record);
    return at->second;
  }

  std::unordered_map<Record, std::size_t> of;
  std::vector<Record> byName;
};

// Slots records are loaded into ("" is a slot like any other); "s9" never gets
// a record. Few uuids, so that different records share them; "u-unknown" is
// never loaded.
const std::vector<std::string> kSlots{"s0", "s1", "s2", ""};
constexpr int kUuids = 24;

class OvixAdsDifferentialTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  std::size_t pick(std::size_t n) { return rng_() % n; }

  std::string loadedUuid() { return std::string("u").append(std::to_string(pick(kUuids))); }

  std::string anyUuid() { return pick(8) == 0 ? "u-unknown" : loadedUuid(); }

  // Both sides get the same batch: absent, empty, or records that are new,
  // null, or any record seen before (the caller's own, stored copies,
  // records handed out), repeats within the batch included.
  void add() {
    const std::size_t kind = pick(12);
    std::optional<List> forModel;
    if (kind != 0) forModel.emplace();
    std::optional<List> forReal = forModel;
    const std::size_t size = kind < 2 ? 0 : kind == 2 ? 20 + pick(40) : 1 + pick(5);
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t what = pick(10);
      if (what == 0) {
        forModel->push_back(nullptr);
        forReal->push_back(nullptr);
      } else if (what <= 3 && !modelNames_.byName.empty()) {
        const std::size_t name = pick(modelNames_.byName.size());
        forModel->push_back(modelNames_.byName[name]);
        forReal->push_back(realNames_.byName[name]);
      } else {
        const std::string slot = kSlots[pick(kSlots.size())];
        const std::string uuid = loadedUuid();
        forModel->push_back(makeRecord(++made_, slot, uuid));
        forReal->push_back(makeRecord(made_, slot, uuid));
        ASSERT_TRUE(match(forModel->back(), forReal->back()));
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
      const std::string slot = pick(6) == 0 ? "s9" : kSlots[pick(kSlots.size())];
      ASSERT_TRUE(match(model_.hasNextAd(slot), real_.hasNextAd(slot)))
          << "hasNextAd(\"" << slot << "\")";
    } else if (op < 88) {
      const std::string uuid = anyUuid();
      ASSERT_TRUE(match(model_.claimImpression(uuid), real_.claimImpression(uuid)))
          << "claimImpression(\"" << uuid << "\")";
    } else {
      const std::string uuid = anyUuid();
      model_.appendImpressed(uuid);
      real_.appendImpressed(uuid);
    }
  }

  // Both null, or equal in every value and under the same name.
  ::testing::AssertionResult match(const Record& model, const Record& real) {
    const std::string a = model ? describe(*model, modelNames_(model)) : "null";
    const std::string b = real ? describe(*real, realNames_(real)) : "null";
    if (a == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the reference's " << a << ", the real " << b;
  }

  ::testing::AssertionResult same(const std::optional<List>& model,
                                  const std::optional<List>& real) {
    if (model.has_value() != real.has_value()) return ::testing::AssertionFailure() << "absent";
    for (std::size_t i = 0; model && (i < model->size() || i < real->size()); ++i) {
      if (i == model->size() || i == real->size()) return ::testing::AssertionFailure() << "sizes";
      if (auto result = match((*model)[i], (*real)[i]); !result) return result << " at " << i;
    }
    return ::testing::AssertionSuccess();
  }

  std::mt19937 rng_{GetParam()};
  Names modelNames_;
  Names realNames_;
  int made_ = 0;
  LinearAds model_;
  OvixAds real_;
};

TEST_P(OvixAdsDifferentialTest, AgreesWithThePlainListsCallForCallAndObjectForObject) {
  for (int i = 0; i < 5000; ++i) {
    SCOPED_TRACE("step " + std::to_string(i));
    step();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(same(model_.ads, real_.ads())) << "ads()";
    // Now and then: taking the rotation makes the copies a refill defers.
    if (pick(8) == 0) {
      ASSERT_TRUE(same(model_.adsMirror, real_.adsMirror())) << "adsMirror()";
    }
    ASSERT_EQ(model_.impressed, real_.impressed());
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, OvixAdsDifferentialTest,
                         ::testing::Values(1u, 2u, 3u, 5u, 8u, 13u, 21u, 34u));

// The reference never changes a record; a host may. A record counts under the
// slot and uuid it had when added (a first batch, stored as copies, is the
// differential test's).
TEST(OvixAdsTest, RecordsChangedAfterTheyAreAddedKeepTheirPlace) {
  OvixAds ads;
  ads.add(List{makeRecord(1, "S", "A")});
  const auto later = makeRecord(2, "S", "B");
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
