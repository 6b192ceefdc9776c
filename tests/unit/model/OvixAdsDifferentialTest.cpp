// The inventory against the plain lists it must behave as, over long random
// sequences of calls: every result, every object's identity and every
// snapshot must agree after every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <unordered_map>

#include "ovix/model/OvixAds.hpp"

namespace ovix {
namespace {

using Record = std::shared_ptr<OvixAdInfo>;
using List = std::vector<Record>;

// The inventory as plain lists scanned from the front: the reference the
// indexed OvixAds must agree with, call for call and object for object.
// Copies records through their values, not copy(), so that a broken copy()
// shows. Time is a count the test moves. One thread only.
struct LinearAds {
  static Record copy(const Record& record) {
    return std::make_shared<OvixAdInfo>(OvixAdInfo::Fields(*record->fields()));
  }

  void add(const std::optional<List>& list, std::int64_t arrived) {
    if (!list || list->empty()) return;
    expire();
    arrived = std::max(arrived, lastArrived);
    lastArrived = arrived;
    const bool first = !ads;
    for (const Record& record : *list) {
      if (!record) continue;
      if (!ads) ads.emplace();
      if (!adsMirror) adsMirror.emplace();
      ads->push_back(first ? copy(record) : record);
      stored.push_back({++made, arrived});
      adsMirror->push_back(first ? copy(ads->back()) : record);
      mirrorOf.push_back(made);
      if (cap != 0 && count(record->infeedId()) > cap) leaveOldest(record->infeedId());
    }
  }

  Record hasNextAd(const std::string& infeedId) {
    expire();
    if (!adsMirror) return nullptr;
    auto ofSlot = [&](const Record& record) { return record->infeedId() == infeedId; };
    const auto found = std::find_if(adsMirror->begin(), adsMirror->end(), ofSlot);
    if (found == adsMirror->end()) return nullptr;
    Record next = *found;
    mirrorOf.erase(mirrorOf.begin() + (found - adsMirror->begin()));
    adsMirror->erase(found);
    if (std::none_of(adsMirror->begin(), adsMirror->end(), ofSlot)) restore(infeedId);
    return next;
  }

  void restore(const std::string& infeedId) {
    for (std::size_t i = 0; i < ads->size(); ++i) {
      if ((*ads)[i]->infeedId() != infeedId) continue;
      adsMirror->push_back(copy((*ads)[i]));
      mirrorOf.push_back(stored[i].first);
    }
  }

  void clear() {
    LinearAds cleared;
    cleared.now = now;
    cleared.ttl = ttl;
    cleared.cap = cap;
    cleared.made = made;
    *this = std::move(cleared);
  }

  Record claimImpression(const std::string& uuid) {
    expire();
    if (!ads || std::find_if(impressed.begin(), impressed.end(), [&](const auto& entry) {
                  return entry.first == uuid;
                }) != impressed.end()) {
      return nullptr;
    }
    const auto found = std::find_if(ads->begin(), ads->end(),
                                    [&](const Record& record) { return record->uuid() == uuid; });
    if (found == ads->end()) return nullptr;
    impressed.emplace_back(uuid, true);
    return *found;
  }

  void appendImpressed(std::string uuid) { impressed.emplace_back(std::move(uuid), false); }

  void setTimeToLive(std::int64_t value) {
    ttl = value;
    expire();
  }

  void setMaximumPerSlot(std::size_t value) {
    cap = value;
    if (cap == 0 || !ads) return;
    std::vector<std::string> slots;
    for (const Record& record : *ads) slots.push_back(record->infeedId());
    for (const std::string& slot : slots) {
      while (count(slot) > cap) leaveOldest(slot);
    }
  }

  std::size_t count(const std::string& infeedId) const {
    return std::count_if(ads->begin(), ads->end(),
                         [&](const Record& record) { return record->infeedId() == infeedId; });
  }

  void expire() {
    while (ttl != 0 && ads && !ads->empty() && now - stored.front().second > ttl) leave(0);
  }

  void leaveOldest(const std::string& infeedId) {
    const auto found = std::find_if(ads->begin(), ads->end(), [&](const Record& record) {
      return record->infeedId() == infeedId;
    });
    leave(static_cast<std::size_t>(found - ads->begin()));
  }

  // The record at `i` leaves the lists; the claim of its uuid goes with the
  // last record of that uuid.
  void leave(std::size_t i) {
    const Record gone = (*ads)[i];
    const int id = stored[i].first;
    ads->erase(ads->begin() + i);
    stored.erase(stored.begin() + i);
    for (std::size_t m = mirrorOf.size(); m-- > 0;) {
      if (mirrorOf[m] != id) continue;
      mirrorOf.erase(mirrorOf.begin() + m);
      adsMirror->erase(adsMirror->begin() + m);
    }
    left.push_back(gone->uuid());
    const auto ofUuid = [&](const Record& record) { return record->uuid() == gone->uuid(); };
    if (std::none_of(ads->begin(), ads->end(), ofUuid)) {
      std::erase_if(impressed,
                    [&](const auto& entry) { return entry.second && entry.first == gone->uuid(); });
    }
  }

  std::vector<std::string> impressedUuids() const {
    std::vector<std::string> uuids;
    for (const auto& entry : impressed) uuids.push_back(entry.first);
    return uuids;
  }

  std::int64_t now = 0;
  std::int64_t lastArrived = 0;
  std::int64_t ttl = 0;           // 0: no lifetime
  std::size_t cap = 0;            // 0: no cap
  std::optional<List> ads;        // every record, all slots, load order
  std::optional<List> adsMirror;  // the rotation, all slots mixed
  int made = 0;
  std::vector<std::pair<int, std::int64_t>> stored;  // each record of ads: its id, its arrival
  std::vector<int> mirrorOf;  // each record of adsMirror: the id it stands for
  std::vector<std::pair<std::string, bool>>
      impressed;                  // uuids in the order recorded; whether claimed
  std::vector<std::string> left;  // uuids of records that left
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

// The inventory's clock, as the test sets it.
std::atomic<std::int64_t> differentialNow{0};
clock::TimePoint differentialClock() {
  return clock::TimePoint(clock::Duration(differentialNow.load()));
}

class OvixAdsDifferentialTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    differentialNow = 0;
    clock::setSourceForTesting(&differentialClock);
  }
  void TearDown() override { clock::setSourceForTesting(nullptr); }

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
    // Now and then a batch that arrived before the last one stored.
    const std::int64_t arrived = model_.now - (pick(4) == 0 ? std::int64_t(pick(20)) : 0);
    model_.add(forModel, arrived);
    real_.add(forReal, clock::TimePoint(clock::Duration(arrived)));
  }

  void step() {
    const std::size_t op = pick(100);
    if (op == 0) {
      model_.clear();
      real_.clear();
    } else if (op < 5) {
      model_.now += static_cast<std::int64_t>(pick(40));
      differentialNow = model_.now;
    } else if (op == 5) {
      const std::int64_t ttl = std::vector<std::int64_t>{0, 30, 120}[pick(3)];
      model_.setTimeToLive(ttl);
      real_.setTimeToLive(clock::Duration(ttl));
    } else if (op == 6) {
      const std::size_t cap = pick(4) * 3;
      model_.setMaximumPerSlot(cap);
      real_.setMaximumPerSlot(cap);
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
  std::vector<std::string> left_;
  OvixAds real_{[this](std::vector<std::string> uuids) {
    left_.insert(left_.end(), uuids.begin(), uuids.end());
  }};
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
    ASSERT_EQ(model_.impressedUuids(), real_.impressed());
    // Within one call the order of slots may differ.
    std::sort(model_.left.begin(), model_.left.end());
    std::sort(left_.begin(), left_.end());
    ASSERT_EQ(model_.left, left_) << "left";
    model_.left.clear();
    left_.clear();
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
