#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/error/Result.hpp"
#include "ovix/OvixRequest.hpp"

// The JSON body an ad load posts, built from the host's request and the
// manager's app identifier and version. Never throws; any thread.
namespace ovix {

// {"infeeds": {slot: {"count": n}}, "advertising_id", "app", "version"}, with
// "lat" and "lon" when both are set and "altitude" when it is.
nlohmann::json makePostDictionary(const OvixRequest& model, const std::string& app,
                                  const std::string& version);

// The dictionary written as pretty-printed JSON, or an error of
// Error::kJSONDomain (code 3852) for a string that is not UTF-8 or a number
// that is not finite.
Result<std::string> makePostBody(const OvixRequest& model, const std::string& app,
                                 const std::string& version);

}  // namespace ovix
