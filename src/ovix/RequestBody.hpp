#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "ovix/OvixRequest.hpp"
#include "ovix/PrivacySignals.hpp"
#include "platform/error/Result.hpp"

// The JSON body an ad load posts, built from the host's request, the
// manager's app identifier and version, and the host's privacy signals.
// Never throws; any thread.
namespace ovix {

// {"infeeds": {slot: {"count": n}}, "advertising_id", "app", "version"}, with
// "lat" and "lon" when both are set and "altitude" when it is, and each
// privacy signal that is set: "gdpr", "coppa" and "lmt" as 0 or 1, "consent",
// "gpp" and "us_privacy" as given, "gpp_sid" as an array. Under COPPA or LMT
// (either true) "advertising_id" is "" and the location is left out. A
// privacy string longer than limits::kMaximumPrivacyStringBytes is left out,
// with a log entry.
nlohmann::json makePostDictionary(const OvixRequest& model, const std::string& app,
                                  const std::string& version, const PrivacySignals& privacy = {});

// The dictionary written as pretty-printed JSON, or an error of
// Error::kJSONDomain (code 3852) for a string that is not UTF-8 or a number
// that is not finite.
Result<std::string> makePostBody(const OvixRequest& model, const std::string& app,
                                 const std::string& version, const PrivacySignals& privacy = {});

}  // namespace ovix
