// An ad request from whatever a host puts in it, privacy signals included:
// the JSON body and the HTTP request a load would send, prepared for libcurl
// without being sent.
#include <simdjson.h>

#include <cmath>

#include "Limits.hpp"
#include "fuzz/FuzzSupport.hpp"
#include "ovix/RequestBody.hpp"
#include "platform/net/DevelopmentSettings.hpp"
#include "platform/net/Transfer.hpp"
#include "platform/net/URLError.hpp"

namespace ovix::fuzz {
namespace {

using simdjson::validate_utf8;

bool withholdsIdentifiers(const PrivacySignals& privacy) {
  return privacy.coppa.value_or(false) || privacy.lmt.value_or(false);
}

// A privacy string, at times padded to the longest sent or one byte more.
std::optional<std::string> privacyString(Input& in) {
  if (!in.flag()) return std::nullopt;
  std::string text = in.string();
  if (in.flag()) text.resize(limits::kMaximumPrivacyStringBytes + (in.flag() ? 1 : 0), 'x');
  return text;
}

// Whether a body must fail: a string that is not UTF-8 or a number that is
// not finite among the fields it carries.
struct Invalid {
  bool always = false;
  bool unlessWithheld = false;  // among the identifiers and the location
};

// Fills a request from the input the way a host could.
Invalid fill(Input& in, OvixRequest& request, std::string& app, std::string& version) {
  bool invalid = false;
  const bool wholeMap = in.flag();
  OvixRequest::Infeeds infeeds;
  for (int slots = in.raw<std::uint8_t>() % 4; slots > 0; --slots) {
    std::string slot = in.string();
    std::string field = wholeMap && in.flag() ? in.string() : "count";
    invalid |= !validate_utf8(slot) || !validate_utf8(field);
    const auto count = in.raw<std::int64_t>();
    if (wholeMap) {
      infeeds[slot][field] = count;
    } else {
      request.set(slot, count);
    }
  }
  if (wholeMap) request.setInfeeds(in.flag() ? std::nullopt : std::optional(infeeds));
  if (!request.infeeds()) invalid = false;
  // Braced, read in order: the order of a call's arguments is the compiler's choice.
  const double at[] = {in.raw<double>(), in.raw<double>(), in.raw<double>()};
  request.setLocation(at[0], at[1], at[2]);
  // What identifies the user or places the device, which COPPA and LMT withhold.
  bool identifiersInvalid = false;
  if (request.enableCoordinate()) {
    identifiersInvalid |= !std::isfinite(request.latitude()) || !std::isfinite(request.longitude());
  }
  if (request.enableAltitude()) identifiersInvalid |= !std::isfinite(request.altitude());
  if (in.flag()) request.setAdvertisingId(in.flag() ? std::optional(in.string()) : std::nullopt);
  identifiersInvalid |= !validate_utf8(request.advertisingId().value_or(""));
  if (in.flag()) request.setHttpMethod(in.flag() ? std::optional(in.string()) : std::nullopt);
  const bool asIs = in.flag();
  const double timeout = in.raw<double>();
  asIs ? request.setTimeout(timeout) : request.setRequestTimeout(timeout);
  app = in.string();
  version = in.string();
  return {invalid || !validate_utf8(app) || !validate_utf8(version), identifiersInvalid};
}

// Fills the privacy signals from the input; whether a string that is sent is
// not UTF-8. Past the end of the input none is set.
bool fill(Input& in, PrivacySignals& privacy) {
  bool invalid = false;
  const auto flag = [&]() -> std::optional<bool> {
    if (!in.flag()) return std::nullopt;
    return in.flag();
  };
  privacy.gdpr = flag();
  privacy.coppa = flag();
  privacy.lmt = flag();
  if (in.flag()) {
    privacy.gppSid.emplace();
    for (int count = in.raw<std::uint8_t>() % 4; count > 0; --count) {
      privacy.gppSid->push_back(in.raw<int>());
    }
  }
  for (auto* text : {&privacy.consent, &privacy.gpp, &privacy.usPrivacy}) {
    *text = privacyString(in);
    if (*text && (*text)->size() <= limits::kMaximumPrivacyStringBytes) {
      invalid |= !validate_utf8(**text);
    }
  }
  return invalid;
}

}  // namespace

int fuzzRequest(const std::uint8_t* data, std::size_t size) {
  Input in{std::string_view(reinterpret_cast<const char*>(data), size)};
  OvixRequest model;
  std::string app, version;
  const Invalid modelInvalid = fill(in, model, app, version);
  const std::string userAgent = in.string();
  // Read last, so that the corpus's earlier inputs keep their meaning.
  PrivacySignals privacy;
  const bool invalid = fill(in, privacy) || modelInvalid.always ||
                       (modelInvalid.unlessWithheld && !withholdsIdentifiers(privacy));

  auto body = makePostBody(model, app, version, privacy);
  OVIX_FUZZ_CHECK(static_cast<bool>(body) == !invalid);
  if (!body) {
    OVIX_FUZZ_CHECK(body.error().domain() == Error::kJSONDomain && body.error().code() == 3852);
    return 0;
  }
  // The body reads back as the dictionary it was written from.
  const auto parsed = nlohmann::json::parse(body.value(), nullptr, false);
  OVIX_FUZZ_CHECK(!parsed.is_discarded() &&
                  parsed == makePostDictionary(model, app, version, privacy));
  if (withholdsIdentifiers(privacy)) {
    OVIX_FUZZ_CHECK(parsed["advertising_id"] == "" && !parsed.contains("lat") &&
                    !parsed.contains("lon") && !parsed.contains("altitude"));
  }

  // The request as the client assembles it, with the host's user agent.
  net::Request request(*net::Url::make("https://ad.ovix.example/ad/v2.ios"));
  request.method = model.httpMethod().value_or("POST");
  request.setValue(userAgent, "User-Agent");
  request.addValue("application/json", "Content-Type");
  request.body = std::move(body.value());
  const net::Configuration configuration{.timeoutIntervalForRequest = model.timeout()};
  const auto before = net::Transfer::Clock::now();
  net::ConnectionBudget budget(1);
  net::Transfer transfer(std::move(request), configuration, net::developmentSettings(),
                         [](net::Outcome) { OVIX_FUZZ_CHECK(!"a prepared transfer finished"); });
  if (const auto error = transfer.prepare(nullptr, budget)) {
    OVIX_FUZZ_CHECK(error->domain() == Error::kURLDomain && error->code() == net::kBadURL);
    return 0;
  }
  // However long the host allows, the wait for data ends after the transfer starts.
  if (const auto deadline = transfer.idleDeadline()) OVIX_FUZZ_CHECK(*deadline > before);
  return 0;
}

}  // namespace ovix::fuzz

OVIX_FUZZ_MAIN(ovix::fuzz::fuzzRequest)
