#include "unit/model/RecordPairs.hpp"

namespace ovix::test {
namespace {

std::string describe(const OvixAdInfo& record) {
  return "{" + record.infeedId() + " " + record.uuid() + " " + record.title() + "}";
}

bool sameValues(const OvixAdInfo& a, const OvixAdInfo& b) {
  return a.infeedId() == b.infeedId() && a.imageUrl() == b.imageUrl() &&
         a.advertiser() == b.advertiser() && a.title() == b.title() &&
         a.descript() == b.descript() && a.impUrl() == b.impUrl() &&
         a.viewableImpUrl() == b.viewableImpUrl() && a.clickUrl() == b.clickUrl() &&
         a.uuid() == b.uuid();
}

}  // namespace

std::pair<RecordPairs::Record, RecordPairs::Record> RecordPairs::make(const std::string& infeedId,
                                                                      const std::string& uuid) {
  const std::string n = std::to_string(++made_);
  auto model = std::make_shared<OvixAdInfo>();
  model->setInfeedId(infeedId);
  model->setUuid(uuid);
  model->setTitle("title " + n);
  model->setDescript("description " + n);
  model->setAdvertiser("advertiser " + n);
  model->setImageUrl("https://img.example/" + n + ".jpg");
  model->setClickUrl("https://click.example/" + n);
  model->setImpUrl({"https://imp.example/" + n + "/a", "https://imp.example/" + n + "/b"});
  model->setViewableImpUrl({"https://vimp.example/" + n});
  auto real = model->copy();
  EXPECT_TRUE(match(model, real));
  return {model, real};
}

const RecordPairs::Record& RecordPairs::realOf(const Record& model) const {
  return realOf_.at(model.get());
}

::testing::AssertionResult RecordPairs::match(const Record& model, const Record& real) {
  if (!model && !real) return ::testing::AssertionSuccess();
  if (!model) return ::testing::AssertionFailure() << "real " << describe(*real) << ", model null";
  if (!real) return ::testing::AssertionFailure() << "model " << describe(*model) << ", real null";
  if (!sameValues(*model, *real)) {
    return ::testing::AssertionFailure()
           << "values differ: model " << describe(*model) << ", real " << describe(*real);
  }
  const auto pairedReal = realOf_.find(model.get());
  const auto pairedModel = modelOf_.find(real.get());
  if (pairedReal == realOf_.end() && pairedModel == modelOf_.end()) {
    realOf_.emplace(model.get(), real);
    modelOf_.emplace(real.get(), model);
    models_.push_back(model);
    return ::testing::AssertionSuccess();
  }
  if (pairedReal != realOf_.end() && pairedReal->second == real) {
    return ::testing::AssertionSuccess();
  }
  if (pairedReal == realOf_.end()) {
    return ::testing::AssertionFailure() << "the model made a new object " << describe(*model)
                                         << " where the real code gave one it gave before";
  }
  return ::testing::AssertionFailure() << "the model gave back its object " << describe(*model)
                                       << " where the real code gave another one";
}

}  // namespace ovix::test
