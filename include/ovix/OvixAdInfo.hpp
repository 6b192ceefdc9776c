#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ovix/Export.hpp"

namespace ovix {

// One ad. Shared by reference (std::shared_ptr<OvixAdInfo>): the inventory, the
// host, bound cells and work in flight may hold the same record. Two records
// are the same ad when they have the same uuid and the same record only when
// they are the same object.
//
// Any thread may read and change a record. Its values are one immutable
// snapshot: a change publishes a new one and leaves every earlier snapshot
// alone for whoever still holds it, so the SDK's workers never read values a
// host's change frees. The SDK fills a record before handing it on and never
// changes it afterwards.
//
// The records the SDK decodes keep their values in one block per answer and
// build them as strings only when a getter or fields() first asks, once for
// the record and its copies.
class OVIX_EXPORT OvixAdInfo {
 public:
  // The nine values of a record.
  struct Fields {
    std::string infeedId;
    std::string imageUrl;
    std::string advertiser;
    std::string title;
    std::string descript;
    std::vector<std::string> impUrl;
    std::vector<std::string> viewableImpUrl;
    std::string clickUrl;
    std::string uuid;
  };

  // A record whose values are all empty.
  OvixAdInfo();
  // A record with `fields`.
  explicit OvixAdInfo(Fields fields);
  // A record of values it may share with other records; they are never
  // changed through it. Null stands for empty values.
  explicit OvixAdInfo(std::shared_ptr<const Fields> fields);
  // The values as the SDK reads them: views, with no string of their own.
  // Defined in the SDK's sources, for its own use.
  class Values;
  // A record of `values`, which the SDK made; never null.
  static std::shared_ptr<OvixAdInfo> make(std::shared_ptr<const Values> values);
  // A record of each of `values` in order, all in one allocation, which the
  // last of them to go releases.
  static std::vector<std::shared_ptr<OvixAdInfo>> make(
      const std::vector<std::shared_ptr<const Values>>& values);
  // The same for values[0, count).
  static std::vector<std::shared_ptr<OvixAdInfo>> make(
      const std::shared_ptr<const Values[]>& values, std::size_t count);

 private:
  struct Key {};

 public:
  // For make() and copy(), which alone can name a Key.
  OvixAdInfo(Key, std::shared_ptr<const Values> values);
  // Copies go through copy(), which makes a new shared record.
  OvixAdInfo(const OvixAdInfo&) = delete;
  OvixAdInfo& operator=(const OvixAdInfo&) = delete;

  // A new record with the same nine values, the uuid included. Cheap: the two
  // share their values until either is changed.
  std::shared_ptr<OvixAdInfo> copy() const;

  // The values as they are now, shared with this record's copies; never null.
  // The snapshot stays whole while held, whatever later changes the record.
  std::shared_ptr<const Fields> fields() const;
  // The same snapshot as the SDK reads it; never null.
  std::shared_ptr<const Values> values() const;

  // References stay valid until the record is changed or destroyed. A thread
  // that reads while another may change the record takes fields() instead.
  const std::string& infeedId() const { return current().infeedId; }
  const std::string& imageUrl() const { return current().imageUrl; }
  const std::string& advertiser() const { return current().advertiser; }
  const std::string& title() const { return current().title; }
  const std::string& descript() const { return current().descript; }
  const std::vector<std::string>& impUrl() const { return current().impUrl; }
  const std::vector<std::string>& viewableImpUrl() const { return current().viewableImpUrl; }
  const std::string& clickUrl() const { return current().clickUrl; }
  const std::string& uuid() const { return current().uuid; }

  // Each change gives this record values of its own; its copies keep theirs.
  // Changes from two threads at once both take effect.
  void setInfeedId(std::string value);
  void setImageUrl(std::string value);
  void setAdvertiser(std::string value);
  void setTitle(std::string value);
  void setDescript(std::string value);
  void setImpUrl(std::vector<std::string> value);
  void setViewableImpUrl(std::vector<std::string> value);
  void setClickUrl(std::string value);
  void setUuid(std::string value);

 private:
  template <class ValueOf>
  static std::vector<std::shared_ptr<OvixAdInfo>> makeAll(std::size_t count, ValueOf valueOf);
  // The values this record holds now: they live until the next change.
  const Fields& current() const { return *fields(); }
  template <class Member, class Value>
  void change(Member member, Value value);

  // Held only to copy or swap the pointer below: a spin costs less than a
  // mutex in every record, and readers never wait for a change to be built.
  mutable std::atomic_flag lock_;
  // Each snapshot is never changed once made, so records on any thread may
  // share it.
  std::shared_ptr<const Values> values_;  // guarded by lock_
};

}  // namespace ovix
