#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ovix/OvixAdInfo.hpp"

namespace ovix::test {

// Pairs each record of a reference model with the record of the real code that
// stands for it, so that object identity can be compared across the two: the
// model handing out an object it handed out before must be matched by the
// same real object, a new model object by a real object never seen. Holds
// every record it has seen, so no address is reused while it lives.
class RecordPairs {
 public:
  using Record = std::shared_ptr<OvixAdInfo>;

  // A new record for each side with the same values, paired.
  std::pair<Record, Record> make(const std::string& infeedId, const std::string& uuid);

  // The real record paired with `model`, which must have been seen.
  const Record& realOf(const Record& model) const;

  // Whether `model` and `real` correspond: both null, or equal in every value
  // and paired with each other (pairing them now when neither was seen).
  ::testing::AssertionResult match(const Record& model, const Record& real);

  // Every model record seen, in the order first seen.
  const std::vector<Record>& models() const { return models_; }

 private:
  std::unordered_map<const OvixAdInfo*, Record> realOf_;
  std::unordered_map<const OvixAdInfo*, Record> modelOf_;
  std::vector<Record> models_;
  int made_ = 0;
};

}  // namespace ovix::test
