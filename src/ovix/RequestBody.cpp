#include "ovix/RequestBody.hpp"

#include "Limits.hpp"
#include "ovix/common/Log.hpp"
#include "platform/json/Writer.hpp"

namespace ovix {
namespace {

void addPrivacyFlag(nlohmann::json& body, const char* name, std::optional<bool> flag) {
  if (flag) body[name] = *flag ? 1 : 0;
}

// Leaves out, with a log entry, a string too long to send.
void addPrivacyString(nlohmann::json& body, const char* name,
                      const std::optional<std::string>& text) {
  if (!text) return;
  if (text->size() > limits::kMaximumPrivacyStringBytes) {
    ULog("makePostDictionary(from:)", std::string("\"") + name +
                                          "\" left out: " + std::to_string(text->size()) +
                                          " bytes, more than the limit of " +
                                          std::to_string(limits::kMaximumPrivacyStringBytes));
    return;
  }
  body[name] = *text;
}

}  // namespace

nlohmann::json makePostDictionary(const OvixRequest& model, const std::string& app,
                                  const std::string& version, const PrivacySignals& privacy) {
  // Under COPPA or LMT nothing that identifies the user or places the device goes.
  const bool withholdIdentifiers = privacy.coppa.value_or(false) || privacy.lmt.value_or(false);
  nlohmann::json body = nlohmann::json::object();
  nlohmann::json infeeds = nlohmann::json::object();
  if (model.infeeds()) {
    for (const auto& [infeedId, entry] : *model.infeeds()) infeeds[infeedId] = entry;
  }
  body["infeeds"] = std::move(infeeds);
  body["advertising_id"] = withholdIdentifiers ? "" : model.advertisingId().value_or("");
  body["app"] = app;
  body["version"] = version;
  if (!withholdIdentifiers && model.enableCoordinate()) {
    body["lon"] = model.longitude();
    body["lat"] = model.latitude();
  }
  if (!withholdIdentifiers && model.enableAltitude()) body["altitude"] = model.altitude();
  addPrivacyFlag(body, "gdpr", privacy.gdpr);
  addPrivacyString(body, "consent", privacy.consent);
  addPrivacyString(body, "gpp", privacy.gpp);
  if (privacy.gppSid) body["gpp_sid"] = *privacy.gppSid;
  addPrivacyString(body, "us_privacy", privacy.usPrivacy);
  addPrivacyFlag(body, "coppa", privacy.coppa);
  addPrivacyFlag(body, "lmt", privacy.lmt);
  return body;
}

Result<std::string> makePostBody(const OvixRequest& model, const std::string& app,
                                 const std::string& version, const PrivacySignals& privacy) {
  return json::writePretty(makePostDictionary(model, app, version, privacy));
}

}  // namespace ovix
