#include "ovix/RequestBody.hpp"

#include "platform/json/Writer.hpp"

namespace ovix {

nlohmann::json makePostDictionary(const OvixRequest& model, const std::string& app,
                                  const std::string& version) {
  nlohmann::json body = nlohmann::json::object();
  nlohmann::json infeeds = nlohmann::json::object();
  if (model.infeeds()) {
    for (const auto& [infeedId, entry] : *model.infeeds()) infeeds[infeedId] = entry;
  }
  body["infeeds"] = std::move(infeeds);
  body["advertising_id"] = model.advertisingId().value_or("");
  body["app"] = app;
  body["version"] = version;
  if (model.enableCoordinate()) {
    body["lon"] = model.longitude();
    body["lat"] = model.latitude();
  }
  if (model.enableAltitude()) body["altitude"] = model.altitude();
  return body;
}

Result<std::string> makePostBody(const OvixRequest& model, const std::string& app,
                                 const std::string& version) {
  return json::writePretty(makePostDictionary(model, app, version));
}

}  // namespace ovix
